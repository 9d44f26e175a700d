#include "core/catalogue/SystemConfigFields.h"

#include "core/fs/Paths.h"

namespace marlit {

SystemConfigFields SystemConfigFields::fromEntry(const SystemEntry &entry)
{
    SystemConfigFields fields;
    fields.name = entry.name;
    fields.description = entry.description;
    fields.romDirectory = entry.romDirectory;
    fields.emulatorPath = entry.emulatorDirectory + entry.emulatorFile;
    fields.commandLine = entry.commandLine;
    fields.snapshotDirA = entry.snapshotDirA;
    fields.snapshotDirB = entry.snapshotDirB;
    fields.defaultSnapshot = entry.defaultSnapshot;
    fields.paramsAfterRom = entry.paramsAfterRom;
    return fields;
}

void SystemConfigFields::storeInto(SystemEntry &entry) const
{
    entry.name = name;
    entry.description = description;
    entry.romDirectory = withTrailingSeparator(romDirectory);
    PathSplit emulator = splitAfterLastSeparator(emulatorPath);
    entry.emulatorDirectory = std::move(emulator.folder);
    entry.emulatorFile = std::move(emulator.name);
    entry.commandLine = commandLine;
    entry.paramsAfterRom = paramsAfterRom;
    entry.snapshotDirA = withTrailingSeparator(snapshotDirA);
    entry.snapshotDirB = withTrailingSeparator(snapshotDirB);
    entry.defaultSnapshot = defaultSnapshot;
}

SystemConfigFields SystemConfigFields::keepingEdits(const SystemConfigFields &opened, const SystemConfigFields &edited,
                                                    const SystemConfigFields &now)
{
    SystemConfigFields kept = now;
    const auto keep = [&](auto SystemConfigFields::*field) {
        if (edited.*field != opened.*field)
            kept.*field = edited.*field;
    };
    keep(&SystemConfigFields::name);
    keep(&SystemConfigFields::description);
    keep(&SystemConfigFields::romDirectory);
    keep(&SystemConfigFields::emulatorPath);
    keep(&SystemConfigFields::commandLine);
    keep(&SystemConfigFields::snapshotDirA);
    keep(&SystemConfigFields::snapshotDirB);
    keep(&SystemConfigFields::defaultSnapshot);
    keep(&SystemConfigFields::paramsAfterRom);
    return kept;
}

} // namespace marlit
