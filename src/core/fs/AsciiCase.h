#pragma once

#include <string>
#include <string_view>

namespace marlit {

// File names compare without regard to case in ASCII only: bytes above 127 belong to multi-byte
// characters or to a local code page and are compared as they are.
inline char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string foldedAscii(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = foldAscii(c);
    return result;
}

} // namespace marlit
