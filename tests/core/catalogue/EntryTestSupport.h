#pragma once

#include "core/catalogue/CategoryCatalogue.h"

#include <ostream>
#include <string>

namespace marlit {

// An entry from its values in file order: NAME, DESC, ROMDIR, EMU (directory, file), COMMAND LINE
// (text, "@" flag), ICON, SNAPADIR, SNAPBDIR, SNAPSHOT.
inline SystemEntry entryOf(std::string name, std::string description = {}, std::string romDirectory = {},
                           std::string emulatorDirectory = {}, std::string emulatorFile = {},
                           std::string commandLine = {}, bool paramsAfterRom = false, std::string iconPath = {},
                           std::string snapshotDirA = {}, std::string snapshotDirB = {},
                           std::string defaultSnapshot = {})
{
    SystemEntry entry;
    entry.name = std::move(name);
    entry.description = std::move(description);
    entry.romDirectory = std::move(romDirectory);
    entry.emulatorDirectory = std::move(emulatorDirectory);
    entry.emulatorFile = std::move(emulatorFile);
    entry.commandLine = std::move(commandLine);
    entry.paramsAfterRom = paramsAfterRom;
    entry.iconPath = std::move(iconPath);
    entry.snapshotDirA = std::move(snapshotDirA);
    entry.snapshotDirB = std::move(snapshotDirB);
    entry.defaultSnapshot = std::move(defaultSnapshot);
    return entry;
}

// Lets GoogleTest show a failing entry field by field instead of as raw bytes.
inline void PrintTo(const SystemEntry &entry, std::ostream *out)
{
    *out << "{name=\"" << entry.name << "\" description=\"" << entry.description << "\" romDirectory=\""
         << entry.romDirectory << "\" emulatorDirectory=\"" << entry.emulatorDirectory << "\" emulatorFile=\""
         << entry.emulatorFile << "\" commandLine=\"" << entry.commandLine
         << "\" paramsAfterRom=" << entry.paramsAfterRom << " iconPath=\"" << entry.iconPath << "\" snapshotDirA=\""
         << entry.snapshotDirA << "\" snapshotDirB=\"" << entry.snapshotDirB << "\" defaultSnapshot=\""
         << entry.defaultSnapshot << "\"}";
}

inline void PrintTo(const CategoryCatalogue &catalogue, std::ostream *out)
{
    *out << catalogue.size() << " entries";
    for (const SystemEntry &entry : catalogue.entries()) {
        *out << "\n  ";
        PrintTo(entry, out);
    }
}

} // namespace marlit
