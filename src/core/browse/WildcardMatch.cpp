#include "core/browse/WildcardMatch.h"

#include "core/fs/AsciiCase.h"

#include <cstring>

namespace marlit {

namespace {

// The length in bytes of the character at i: a whole UTF-8 sequence, so that "?" stands for one
// character as the user sees it; a byte that does not start a valid sequence is one character.
std::size_t charLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0xC2 || lead > 0xF4)
        return 1;
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > text.size())
        return 1;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

} // namespace

bool WildcardMatch::matches(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*")
        return true;

    // Greedy match that remembers only the last star: when a later part fails, that star takes
    // one more character and the rest is tried again. This keeps the work to pattern x name
    // steps even for patterns with many stars.
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starPattern = kNone;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            if (pattern[p] == '*') {
                starPattern = ++p;
                starName = n;
                continue;
            }
            const std::size_t nameLength = charLength(name, n);
            if (pattern[p] == '?') {
                ++p;
                n += nameLength;
                continue;
            }
            const std::size_t patternLength = charLength(pattern, p);
            if (patternLength == nameLength &&
                (nameLength == 1 ? foldAscii(pattern[p]) == foldAscii(name[n])
                                 : std::memcmp(pattern.data() + p, name.data() + n, nameLength) == 0)) {
                p += patternLength;
                n += nameLength;
                continue;
            }
        }
        if (starPattern == kNone)
            return false;
        starName += charLength(name, starName);
        p = starPattern;
        n = starName;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace marlit
