#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace marlit {

// The last bytes a program wrote to its standard error, in a buffer of fixed size. append and
// copyTo allocate nothing and call no library function but memcpy, so the process that watches
// a program, forked from a threaded one, may use them.
class ErrorTail
{
public:
    static constexpr std::size_t kCapacity = 4096;

    void append(const char *bytes, std::size_t size) noexcept;
    // The kept bytes, oldest first, into out (room for kCapacity bytes); gives how many.
    std::size_t copyTo(char *out) const noexcept;
    // Whether earlier bytes had to go to keep the last ones.
    bool cut() const noexcept { return m_total > kCapacity; }

    // The whole lines of kept bytes, for a person: after a cut the partial first line goes (unless
    // it is all there is, then only a split character at its start), and so do the line breaks
    // at the end.
    static std::string lastLines(std::string_view kept, bool cut);

private:
    std::array<char, kCapacity> m_bytes{};
    std::uint64_t m_total = 0; // bytes ever appended; the next goes to m_total % kCapacity
};

} // namespace marlit
