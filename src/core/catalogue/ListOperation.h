#pragma once

namespace marlit {

// The commands of the system list's menu that change the order of the catalogue.
enum class ListOperation { MoveUp, MoveDown, Delete };

} // namespace marlit
