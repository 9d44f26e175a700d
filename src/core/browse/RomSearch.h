#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace marlit {

// How the search text narrows the ROM list.
enum class FilterMode : std::uint8_t { SearchFor = 0, FilterOut = 1 };

// The state of the ROM list's search row: the mode its button shows and the text applied with
// "Apply" until "Clear". The mode can change while a text is applied; the next filling of the
// list uses both as they are then.
class RomSearch
{
public:
    FilterMode mode() const { return m_mode; }
    bool applied() const { return m_applied; }
    // The applied text; "." when none is applied, which makes the search pattern "*.*".
    const std::string &text() const { return m_text; }

    void toggleMode();
    void apply(std::string text);
    void clear();

    // The wildcard pattern that a listed name must match: "*.*" when filtering out, else the
    // text between stars.
    std::string pattern() const;
    // Whether a name that matches the pattern stays listed: when filtering out an applied text,
    // the names that hold it (case-sensitive) are dropped.
    bool keeps(std::string_view name) const;

    bool operator==(const RomSearch &) const = default;

private:
    FilterMode m_mode = FilterMode::SearchFor;
    bool m_applied = false;
    std::string m_text = ".";
};

} // namespace marlit
