#include "core/browse/NameOrder.h"

#include <array>

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

} // namespace

int NameOrder::compare(std::string_view a, std::string_view b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    int tie = 0; // the first difference in bytes, used when the names are equal ignoring case
    for (std::size_t i = 0; i < common; ++i) {
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
