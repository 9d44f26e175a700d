#pragma once

#include <string>
#include <string_view>

namespace marlit {

// Paths listed in other front-ends' files, made absolute and plain: "./x.zip" and "x.zip" are read from base (a folder
// ending with the separator), "~/x" from home, "/x" as it is; "." parts, doubled separators and
// ".." (lexically) are taken out. Empty for an empty path.
std::string resolveListedPath(std::string_view path, const std::string &base, const std::string &home);
// The same into out, whose memory is used again (one list resolves thousands of paths); scratch
// is a second string for the same.
void resolveListedPath(std::string_view path, const std::string &base, const std::string &home, std::string &out,
                       std::string &scratch);

} // namespace marlit
