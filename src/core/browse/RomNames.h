#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace marlit {

// A listed sheet or list (by its name in the list) and a file it names that its folder does not
// hold: the game still shows, and its start says what is missing.
using MissingParts = std::vector<std::pair<std::string, std::string>>;

// The names of a ROM list in one block of bytes and one table of where each ends, so that a list
// of 100,000 names is built, handed on and dropped in a few allocations instead of one per
// name: the window takes such lists from its folder readers between a user's key presses.
class RomNames
{
public:
    RomNames() = default;
    RomNames(const std::vector<std::string> &names);
    RomNames(std::initializer_list<std::string_view> names);

    std::size_t size() const { return m_ends.size(); }
    bool empty() const { return m_ends.empty(); }
    std::string_view operator[](std::size_t index) const;

    void reserve(std::size_t names, std::size_t bytes);
    void push_back(std::string_view name);
    // Appends names whose bytes follow each other in bytes, lengths giving each one's size (their
    // sum is bytes' size).
    void append(const std::vector<std::size_t> &lengths, std::string_view bytes);
    // Removes the names at rows (ascending, each once), the others keeping their order: in place,
    // where a list built again would copy every name.
    void erase(const std::vector<std::size_t> &rows);

    // All the names' bytes, one after the other, and where each name ends in them.
    const std::string &bytes() const { return m_bytes; }
    const std::vector<std::size_t> &ends() const { return m_ends; }

    // The first index whose name is not before name in NameOrder (size() when there is none), for a
    // list sorted that way.
    std::size_t lowerBound(std::string_view name) const;

    std::vector<std::string> toVector() const;

    bool operator==(const RomNames &) const = default;

private:
    std::string m_bytes;
    std::vector<std::size_t> m_ends;
};

} // namespace marlit
