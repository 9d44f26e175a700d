#pragma once

#include <string>
#include <string_view>

namespace marlit {

// Folder paths end with this separator when not empty, so that file names and search patterns
// can be appended directly. It is the one place that knows the platform's separator.
inline constexpr char kPathSeparator = '/';

// Appends the separator to a non-empty path that does not end with one.
inline std::string withTrailingSeparator(std::string path)
{
    if (!path.empty() && path.back() != kPathSeparator)
        path.push_back(kPathSeparator);
    return path;
}

// A path cut after its last separator: the folder keeps the separator, the name is what follows
// ("/emu/run.sh" gives "/emu/" and "run.sh"). A path without a separator is all name.
struct PathSplit
{
    std::string folder;
    std::string name;
};

inline PathSplit splitAfterLastSeparator(std::string_view path)
{
    const std::size_t separator = path.rfind(kPathSeparator);
    if (separator == std::string_view::npos)
        return {std::string(), std::string(path)};
    return {std::string(path.substr(0, separator + 1)), std::string(path.substr(separator + 1))};
}

} // namespace marlit
