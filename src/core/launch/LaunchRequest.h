#pragma once

#include <string>
#include <vector>

namespace marlit {

// A program to start: no shell is involved, each argument reaches the program as it is.
struct LaunchRequest
{
    std::string program;                // a path, or a bare name looked up on PATH
    std::vector<std::string> arguments; // without the program itself
    std::string workingDirectory;       // empty: the current directory

    bool operator==(const LaunchRequest &) const = default;
};

} // namespace marlit
