#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace marlit {

// How many bytes of a path the folder picker's status line shows before it cuts.
inline constexpr std::size_t kShortPathLength = 35;

// The status line's text for a path: the path itself when it has at most kShortPathLength bytes,
// else its beginning followed by "...". The cut falls on a UTF-8 character boundary, moving back
// before a character that would not fit whole, so the text never ends in a broken character.
std::string shortenPath(std::string_view path);

} // namespace marlit
