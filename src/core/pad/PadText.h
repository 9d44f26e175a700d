#pragma once

#include <string_view>

namespace marlit {

// A line of the pad's text files without the blanks around it (line ends included).
inline std::string_view trimmedPadText(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace marlit
