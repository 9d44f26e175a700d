#pragma once

#include <string>
#include <vector>

namespace marlit {

// The TV view's on-screen letters, for a search typed with the arrows and one button: rows of
// ten keys (letters, digits, a few signs), and a last row of wider keys "Space", "Delete",
// "Clear" and "Done". The arrows move a cursor over the keys, wrapping at the edges; Up and
// Down keep to the column.
class TvLetterPad
{
public:
    static constexpr int kColumns = 10;
    enum class Action { Letter, Space, Delete, Clear, Done };
    struct Key
    {
        Action action;
        char letter; // for Action::Letter
        int column;  // the first column the key covers
        int span;    // how many columns it covers
        const char *text;
    };
    enum class Move { Up, Down, Left, Right };

    static const std::vector<std::vector<Key>> &rows();
    static std::string keyText(const Key &key);

    // Starts over with text, the cursor on the first key.
    void reset(std::string text);
    void move(Move move);
    // Letters typed on a keyboard, where there is one; the cursor stays.
    void type(const std::string &letters) { m_text += letters; }
    // The key under the cursor pressed: the text changes; true for "Done".
    bool press();

    int row() const { return m_row; }
    int column() const { return m_column; }
    const Key &current() const;
    const std::string &text() const { return m_text; }

private:
    int m_row = 0;
    int m_column = 0; // a column the current key covers
    std::string m_text;
};

} // namespace marlit
