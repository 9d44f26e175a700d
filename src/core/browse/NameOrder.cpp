#include "core/browse/NameOrder.h"

#include "core/fs/AsciiCase.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace marlit {

namespace {

// Folding to lower case puts the punctuation between "Z" and "a" before the letters, as the
// lists of the platform do.
constexpr std::array<unsigned char, 256> makeFoldTable()
{
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return table;
}

constexpr std::array<unsigned char, 256> kFold = makeFoldTable();

// Eight bytes of text as a number that orders as the bytes do.
std::uint64_t wordAt(const char *bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return std::endian::native == std::endian::little ? __builtin_bswap64(word) : word;
}

} // namespace

int NameOrder::compare(std::string_view a, std::string_view b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    int tie = 0; // the first difference in bytes, used when the names are equal ignoring case
    std::size_t i = 0;
    // Eight bytes at a time while they are equal, as they mostly are in names of one folder.
    for (; i + 8 <= common; i += 8) {
        const std::uint64_t wordA = wordAt(a.data() + i);
        const std::uint64_t wordB = wordAt(b.data() + i);
        if (wordA == wordB)
            continue;
        if (const std::uint64_t foldedA = foldAsciiWord(wordA), foldedB = foldAsciiWord(wordB); foldedA != foldedB)
            return foldedA < foldedB ? -1 : 1;
        if (tie == 0)
            tie = wordA < wordB ? -1 : 1;
    }
    for (; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca == cb)
            continue;
        const int fa = kFold[ca];
        const int fb = kFold[cb];
        if (fa != fb)
            return fa < fb ? -1 : 1;
        if (tie == 0)
            tie = ca < cb ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return tie;
}

} // namespace marlit
