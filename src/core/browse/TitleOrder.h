#pragma once

#include "core/browse/RomNames.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace marlit {

// Orders a list's names by their titles, as RomListing::before does, a run at a time: each run
// of names added is sorted, and merged with those before it as they grow, so that a list read
// folder by folder is mostly ordered by the time its last folder is read.
class TitleOrder
{
public:
    // Sorts the names from those already ordered up to the end of names, as a run of their own.
    void addRun(const RomNames &names);
    // names' indices in order, every run merged (names as at the last addRun).
    std::vector<std::uint32_t> finish(const RomNames &names);

    // The names added so far.
    std::size_t size() const { return m_rows.size(); }

    static std::vector<std::uint32_t> of(const RomNames &names);

private:
    static constexpr std::size_t kKeyWords = 3;
    // A name with the first bytes of its folded title, so that most names are told apart by the
    // rows alone, without reaching into the names spread over megabytes.
    struct Row
    {
        std::uint64_t key[kKeyWords]; // big-endian, zero-padded
        std::uint32_t index;          // in the names
        std::uint32_t titleLength;
    };

    bool less(const RomNames &names, const Row &a, const Row &b) const;
    // Sorts rows equal in the words before word.
    void sortRows(const RomNames &names, Row *begin, Row *end, std::size_t word);
    void mergeLast(const RomNames &names);

    std::vector<Row> m_rows;
    std::vector<std::uint32_t> m_titleBegins; // by index, in the names' bytes
    std::vector<std::size_t> m_runEnds;
    std::vector<Row> m_scratch;
};

} // namespace marlit
