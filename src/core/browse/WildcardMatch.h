#pragma once

#include <string_view>

namespace marlit {

// The platform's file-name match: "*" any run of characters (also none), "?" exactly one
// character, letters compared ignoring case (ASCII), every other character stands for itself,
// and the pattern "*.*" matches every name, with or without a dot.
class WildcardMatch
{
public:
    static bool matches(std::string_view pattern, std::string_view name);
};

} // namespace marlit
