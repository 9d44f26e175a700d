#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marlit {

// File names compare without regard to case in ASCII only: bytes above 127 belong to multi-byte
// characters or to a local code page and are compared as they are.
inline char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// foldAscii on the eight bytes of a word at once, whatever their order in it.
inline std::uint64_t foldAsciiWord(std::uint64_t word)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    const std::uint64_t low = word & (0x7F * ones);
    const std::uint64_t fromA = low + (0x80 - 'A') * ones;     // high bit set from 'A' on
    const std::uint64_t pastZ = low + (0x80 - 'Z' - 1) * ones; // high bit set after 'Z'
    return word | (((fromA & ~pastZ & ~word) & (0x80 * ones)) >> 2);
}

inline std::string foldedAscii(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = foldAscii(c);
    return result;
}

} // namespace marlit
