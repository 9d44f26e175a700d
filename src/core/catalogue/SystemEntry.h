#pragma once

#include "core/catalogue/SystemValues.h"

#include <string>

namespace marlit {

// One system of a category catalogue.
struct SystemEntry
{
    std::string name;
    std::string description;
    std::string romDirectory;      // ends with the path separator when not empty
    std::string emulatorFile;      // after loading, begins with the last separator of the EMU value
    std::string emulatorDirectory; // emulatorDirectory + emulatorFile is the emulator's full path
    std::string commandLine;       // without the leading "@"
    std::string defaultSnapshot;
    std::string snapshotDirA; // ends with the path separator when not empty
    std::string snapshotDirB; // ends with the path separator when not empty
    std::string iconPath;
    bool paramsAfterRom = false; // the parameters go after the ROM path
    SystemValues values;         // what the record has no field for, kept in the values file beside it

    // The record of a newly created catalogue: every value empty.
    bool isBlank() const { return *this == SystemEntry{}; }
    bool hasEmulator() const { return !emulatorDirectory.empty() || !emulatorFile.empty(); }

    bool operator==(const SystemEntry &) const = default;
};

} // namespace marlit
