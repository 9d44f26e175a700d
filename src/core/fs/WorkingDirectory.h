#pragma once

#include <optional>
#include <string>

namespace marlit {

// The process's working directory, whatever its length; nothing (errno set) when it cannot be
// told, for example when it was removed.
std::optional<std::string> currentDirectory();

} // namespace marlit
