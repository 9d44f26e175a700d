#pragma once

#include <string>
#include <string_view>

namespace marlit {

// A line for standard error made of text from outside (an emulator's name from its table, a
// program's path): each control character is written as \n, \r, \t or \xHH, so that a name can
// neither end the line early nor steer the terminal. Every other byte is kept as it is.
class LogLine
{
public:
    static std::string escaped(std::string_view text);
};

} // namespace marlit
