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

} // namespace marlit
