#include "core/catalogue/SystemPreset.h"

#include "core/fs/Paths.h"

namespace marlit {

void SystemPreset::storeInto(SystemEntry &entry) const
{
    entry.name = name;
    entry.description = description;
    PathSplit emulator = splitAfterLastSeparator(emulatorPath);
    entry.emulatorDirectory = std::move(emulator.folder);
    entry.emulatorFile = std::move(emulator.name);
    entry.commandLine = commandLine;
    entry.paramsAfterRom = paramsAfterRom;
}

} // namespace marlit
