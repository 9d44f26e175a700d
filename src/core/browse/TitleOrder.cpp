#include "core/browse/TitleOrder.h"

#include "core/browse/GameTitle.h"
#include "core/browse/NameOrder.h"
#include "core/fs/AsciiCase.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>
#include <utility>

namespace marlit {

bool TitleOrder::less(const RomNames &names, const Row &a, const Row &b) const
{
    for (std::size_t word = 0; word < kKeyWords; ++word)
        if (a.key[word] != b.key[word])
            return a.key[word] < b.key[word];
    const std::string_view bytes = names.bytes();
    if (const int byTitle = NameOrder::compare(bytes.substr(m_titleBegins[a.index], a.titleLength),
                                               bytes.substr(m_titleBegins[b.index], b.titleLength));
        byTitle != 0)
        return byTitle < 0;
    return NameOrder::less(names[a.index], names[b.index]);
}

void TitleOrder::sortRows(const RomNames &names, Row *begin, Row *end, std::size_t word)
{
    const auto count = static_cast<std::size_t>(end - begin);
    if (count >= 64) {
        // A byte of the word at a time, from the last (a radix sort), passing over the bytes that
        // are the same in every row.
        std::array<std::array<std::uint32_t, 256>, 8> counts{};
        for (const Row *row = begin; row != end; ++row)
            for (std::size_t byte = 0; byte < 8; ++byte)
                ++counts[byte][(row->key[word] >> (8 * byte)) & 0xFF];
        m_scratch.resize(count);
        Row *from = begin;
        Row *to = m_scratch.data();
        for (std::size_t byte = 0; byte < 8; ++byte) {
            std::array<std::uint32_t, 256> &slots = counts[byte];
            if (slots[(from->key[word] >> (8 * byte)) & 0xFF] == count)
                continue;
            std::uint32_t next = 0;
            for (std::uint32_t &slot : slots)
                next += std::exchange(slot, next);
            for (const Row *row = from; row != from + count; ++row)
                to[slots[(row->key[word] >> (8 * byte)) & 0xFF]++] = *row;
            std::swap(from, to);
        }
        if (from != begin)
            std::copy(from, from + count, begin);
    } else {
        std::sort(begin, end, [&](const Row &a, const Row &b) { return a.key[word] < b.key[word]; });
    }
    // Rows equal in this word go by the next; rows equal in every word, in full.
    for (Row *run = begin; run != end;) {
        Row *runEnd = run + 1;
        while (runEnd != end && runEnd->key[word] == run->key[word])
            ++runEnd;
        if (runEnd - run > 1 && word + 1 < kKeyWords)
            sortRows(names, run, runEnd, word + 1);
        else if (runEnd - run > 1)
            std::sort(run, runEnd, [&](const Row &a, const Row &b) { return less(names, a, b); });
        run = runEnd;
    }
}

void TitleOrder::addRun(const RomNames &names)
{
    const std::size_t first = m_rows.size();
    if (first == names.size())
        return;
    m_rows.reserve(names.size());
    m_titleBegins.reserve(names.size());
    for (std::size_t i = first; i < names.size(); ++i) {
        const std::string_view title = GameTitle::of(names[i]).title;
        Row row{{}, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(title.size())};
        for (std::size_t word = 0; word < kKeyWords && 8 * word < title.size(); ++word) {
            std::uint64_t bytes = 0;
            std::memcpy(&bytes, title.data() + 8 * word, std::min<std::size_t>(8, title.size() - 8 * word));
            row.key[word] = foldAsciiWord(bytes);
            if constexpr (std::endian::native == std::endian::little)
                row.key[word] = __builtin_bswap64(row.key[word]);
        }
        m_rows.push_back(row);
        m_titleBegins.push_back(static_cast<std::uint32_t>(title.data() - names.bytes().data()));
    }
    sortRows(names, m_rows.data() + first, m_rows.data() + m_rows.size(), 0);
    m_runEnds.push_back(m_rows.size());
    // Runs merge once the last is about as long as the one before, so each row is merged a few
    // times at most.
    while (m_runEnds.size() > 1) {
        const std::size_t last = m_runEnds.back() - m_runEnds[m_runEnds.size() - 2];
        const std::size_t before =
            m_runEnds[m_runEnds.size() - 2] - (m_runEnds.size() > 2 ? m_runEnds[m_runEnds.size() - 3] : 0);
        if (before > 2 * last)
            break;
        mergeLast(names);
    }
}

void TitleOrder::mergeLast(const RomNames &names)
{
    const std::size_t end = m_runEnds.back();
    m_runEnds.pop_back();
    const std::size_t middle = m_runEnds.back();
    const std::size_t begin = m_runEnds.size() > 1 ? m_runEnds[m_runEnds.size() - 2] : 0;
    m_runEnds.back() = end;
    std::inplace_merge(m_rows.begin() + static_cast<std::ptrdiff_t>(begin),
                       m_rows.begin() + static_cast<std::ptrdiff_t>(middle),
                       m_rows.begin() + static_cast<std::ptrdiff_t>(end),
                       [&](const Row &a, const Row &b) { return less(names, a, b); });
}

std::vector<std::uint32_t> TitleOrder::finish(const RomNames &names)
{
    addRun(names);
    while (m_runEnds.size() > 1)
        mergeLast(names);
    std::vector<std::uint32_t> order;
    order.reserve(m_rows.size());
    for (const Row &row : m_rows)
        order.push_back(row.index);
    return order;
}

std::vector<std::uint32_t> TitleOrder::of(const RomNames &names)
{
    return TitleOrder().finish(names);
}

} // namespace marlit
