#include "core/ui/TvLetterPad.h"

#include <utility>

namespace marlit {

namespace {

std::vector<TvLetterPad::Key> letterRow(const char *letters)
{
    std::vector<TvLetterPad::Key> row;
    for (int column = 0; letters[column]; ++column)
        row.push_back({TvLetterPad::Action::Letter, letters[column], column, 1, nullptr});
    return row;
}

// The row of the key that covers column.
int keyAt(const std::vector<TvLetterPad::Key> &row, int column)
{
    for (std::size_t i = 0; i < row.size(); ++i)
        if (column >= row[i].column && column < row[i].column + row[i].span)
            return static_cast<int>(i);
    return static_cast<int>(row.size()) - 1;
}

} // namespace

const std::vector<std::vector<TvLetterPad::Key>> &TvLetterPad::rows()
{
    static const std::vector<std::vector<Key>> kRows{
        letterRow("ABCDEFGHIJ"),
        letterRow("KLMNOPQRST"),
        letterRow("UVWXYZ-'&!"),
        letterRow("0123456789"),
        {{Action::Space, ' ', 0, 3, "Space"},
         {Action::Delete, 0, 3, 3, "Delete"},
         {Action::Clear, 0, 6, 2, "Clear"},
         {Action::Done, 0, 8, 2, "Done"}},
    };
    return kRows;
}

std::string TvLetterPad::keyText(const Key &key)
{
    return key.text ? std::string(key.text) : std::string(1, key.letter);
}

void TvLetterPad::reset(std::string text)
{
    m_text = std::move(text);
    m_row = 0;
    m_column = 0;
}

const TvLetterPad::Key &TvLetterPad::current() const
{
    const std::vector<Key> &row = rows()[static_cast<std::size_t>(m_row)];
    return row[static_cast<std::size_t>(keyAt(row, m_column))];
}

void TvLetterPad::move(Move move)
{
    const int rowCount = static_cast<int>(rows().size());
    switch (move) {
    case Move::Up:
        m_row = (m_row + rowCount - 1) % rowCount;
        break;
    case Move::Down:
        m_row = (m_row + 1) % rowCount;
        break;
    case Move::Left:
    case Move::Right: {
        // A wide key is left as a whole, to the key beside it.
        const Key &key = current();
        const int next = move == Move::Left ? key.column - 1 : key.column + key.span;
        m_column = (next + kColumns) % kColumns;
        const std::vector<Key> &row = rows()[static_cast<std::size_t>(m_row)];
        m_column = row[static_cast<std::size_t>(keyAt(row, m_column))].column;
        break;
    }
    }
}

bool TvLetterPad::press()
{
    const Key &key = current();
    switch (key.action) {
    case Action::Letter:
    case Action::Space:
        m_text += key.letter;
        break;
    case Action::Delete:
        if (!m_text.empty())
            m_text.pop_back();
        break;
    case Action::Clear:
        m_text.clear();
        break;
    case Action::Done:
        return true;
    }
    return false;
}

} // namespace marlit
