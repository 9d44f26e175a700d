#include "core/browse/WildcardMatch.h"

#include "core/fs/AsciiCase.h"

#include <cstring>

namespace marlit {

namespace {

// The length in bytes of the character at i: a whole UTF-8 sequence, so that "?" stands for one
// character as the user sees it; a byte that does not start a well-formed sequence is one
// character. Well-formed means as Unicode defines it: no overlong form (E0 80..9F, F0 80..8F),
// no surrogate (ED A0..BF), nothing beyond U+10FFFF (F4 90..BF).
std::size_t charLength(std::string_view text, std::size_t i)
{
    const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byteAt(0);
    if (lead < 0xC2 || lead > 0xF4)
        return 1;
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length > text.size())
        return 1;
    // The second byte's range depends on the lead byte; the others are plain continuation bytes.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    if (byteAt(1) < low || byteAt(1) > high)
        return 1;
    for (std::size_t k = 2; k < length; ++k) {
        if ((byteAt(k) & 0xC0) != 0x80)
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
