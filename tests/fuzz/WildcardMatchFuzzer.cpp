#include "core/browse/WildcardMatch.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

// The matcher against a plain recursive one written from the rules alone: "*" any run of
// characters, "?" one character, ASCII letters fold case, "*.*" alone matches everything, and a
// character is a well-formed UTF-8 sequence or else a single byte.
namespace {

// The length of the well-formed UTF-8 sequence at the start of text (the Unicode standard's
// table of well-formed byte sequences), or 1 when there is none.
std::size_t characterLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const auto in = [](unsigned value, unsigned low, unsigned high) { return value >= low && value <= high; };
    const unsigned first = byte(0);
    if (in(first, 0xC2, 0xDF) && in(byte(1), 0x80, 0xBF))
        return 2;
    if ((first == 0xE0 && in(byte(1), 0xA0, 0xBF)) || (in(first, 0xE1, 0xEC) && in(byte(1), 0x80, 0xBF)) ||
        (first == 0xED && in(byte(1), 0x80, 0x9F)) || (in(first, 0xEE, 0xEF) && in(byte(1), 0x80, 0xBF))) {
        return in(byte(2), 0x80, 0xBF) ? 3 : 1;
    }
    if ((first == 0xF0 && in(byte(1), 0x90, 0xBF)) || (in(first, 0xF1, 0xF3) && in(byte(1), 0x80, 0xBF)) ||
        (first == 0xF4 && in(byte(1), 0x80, 0x8F))) {
        return in(byte(2), 0x80, 0xBF) && in(byte(3), 0x80, 0xBF) ? 4 : 1;
    }
    return 1;
}

char fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameCharacter(std::string_view a, std::string_view b)
{
    if (a.size() == 1 && b.size() == 1)
        return fold(a[0]) == fold(b[0]);
    return a == b;
}

class Reference
{
public:
    Reference(std::string_view pattern, std::string_view name)
        : m_pattern(pattern), m_name(name), m_known((pattern.size() + 1) * (name.size() + 1), kUnknown)
    {
    }

    bool matches() { return m_pattern == "*.*" || match(0, 0); }

private:
    static constexpr signed char kUnknown = -1;

    // Whether the pattern from p matches the name from n; each pair is worked out once.
    bool match(std::size_t p, std::size_t n)
    {
        signed char &known = m_known[p * (m_name.size() + 1) + n];
        if (known == kUnknown)
            known = work(p, n);
        return known;
    }

    bool work(std::size_t p, std::size_t n)
    {
        if (p == m_pattern.size())
            return n == m_name.size();
        const std::size_t nameLength = n < m_name.size() ? characterLength(m_name.substr(n)) : 0;
        if (m_pattern[p] == '*')
            return match(p + 1, n) || (nameLength > 0 && match(p, n + nameLength));
        if (nameLength == 0)
            return false;
        if (m_pattern[p] == '?')
            return match(p + 1, n + nameLength);
        const std::size_t patternLength = characterLength(m_pattern.substr(p));
        return sameCharacter(m_pattern.substr(p, patternLength), m_name.substr(n, nameLength)) &&
               match(p + patternLength, n + nameLength);
    }

    std::string_view m_pattern;
    std::string_view m_name;
    std::vector<signed char> m_known;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Pattern and name are split at the first NUL byte.
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string_view::npos || size > 512)
        return 0;
    const std::string_view pattern = input.substr(0, split);
    const std::string_view name = input.substr(split + 1);
    const bool ours = marlit::WildcardMatch::matches(pattern, name);
    const bool reference = Reference(pattern, name).matches();
    if (ours != reference) {
        std::fprintf(stderr, "pattern and name (%zu and %zu bytes) match: ours %d, reference %d\n", pattern.size(),
                     name.size(), ours, reference);
        std::abort();
    }
    return 0;
}
