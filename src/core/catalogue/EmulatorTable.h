#pragma once

#include "core/catalogue/EmulatorPreset.h"

#include <string>
#include <vector>

namespace marlit {

// The known emulators as read from the table's file, and what was wrong in it: an entry with a
// problem is left out, a file that cannot be read at all gives no emulator and one problem.
struct EmulatorTable
{
    std::vector<EmulatorPreset> emulators;
    std::vector<std::string> problems;
};

} // namespace marlit
