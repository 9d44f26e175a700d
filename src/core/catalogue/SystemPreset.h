#pragma once

#include "core/catalogue/SystemEntry.h"

#include <string>
#include <vector>

namespace marlit {

// One system of a known emulator, as this computer has it: whether its emulator is installed
// and, when it is, the values a system record gets from it.
struct SystemPreset
{
    std::string emulator; // the emulator's name
    std::string name;
    std::string description;
    int category = 0;
    std::string install; // how to install the emulator
    std::vector<std::string> extensions;

    bool installed = false;
    // When installed: the program's full path (the flatpak program's for a Flatpak) and the
    // parameters, without the "@" that paramsAfterRom stands for.
    std::string emulatorPath;
    std::string commandLine;
    bool paramsAfterRom = false;

    // Sets the name, the description, the emulator, the parameters and where they go; the ROM
    // folder, the icon and the pictures stay as they are.
    void storeInto(SystemEntry &entry) const;

    bool operator==(const SystemPreset &) const = default;
};

} // namespace marlit
