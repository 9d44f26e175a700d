#pragma once

#include <map>
#include <string>
#include <string_view>

namespace marlit {

// The values of a system that its catalogue record has no field for, by key. The catalogue files
// keep their layout (their readers take values by position), so these live beside them, in the
// category's values file (SystemValuesFile), and travel in memory with the system's SystemEntry:
// whatever copies, moves or edits the entry (Setup, "Save as New Entry", Move Up/Down, Delete)
// takes them along.
//
// Adding a key: choose a lower-case name, words joined by "-" (say "game-lists"), declare it as a
// constant beside the code that uses it, and read and write it through value()/set() on the
// entry's `values`. Nothing else changes: the values file keeps every key it is given, and a key
// a program does not know is kept as it is. A value is one line: line breaks become blanks.
class SystemValues
{
public:
    // The value of key, or nullptr when the system has none (which is not the same as empty).
    const std::string *find(std::string_view key) const;
    // The value of key, empty when there is none.
    std::string value(std::string_view key) const;
    void set(std::string_view key, std::string_view value);
    void erase(std::string_view key);

    bool empty() const { return m_values.empty(); }
    const std::map<std::string, std::string, std::less<>> &all() const { return m_values; }

    // A key a values file can hold: not empty, lower case letters, digits and "-" (the upper
    // case names are the record's own, see SystemValuesFile).
    static bool isValidKey(std::string_view key);

    bool operator==(const SystemValues &) const = default;

private:
    std::map<std::string, std::string, std::less<>> m_values;
};

} // namespace marlit
