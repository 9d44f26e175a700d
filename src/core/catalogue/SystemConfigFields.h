#pragma once

#include "core/catalogue/SystemEntry.h"

#include <string>

namespace marlit {

// The texts of the System Configuration dialog's fields, as the user sees and types them. The
// emulator is one text there: its folder and file joined.
struct SystemConfigFields
{
    std::string name;
    std::string description;
    std::string romDirectory;
    std::string emulatorPath;
    std::string commandLine;
    std::string snapshotDirA;
    std::string snapshotDirB;
    std::string defaultSnapshot;
    bool paramsAfterRom = false;

    // What the dialog shows for entry.
    static SystemConfigFields fromEntry(const SystemEntry &entry);

    // Stores the texts in entry, every value whole: a non-empty ROM or snapshot folder gets its
    // trailing separator, and the emulator path is split after its last separator into folder and
    // file. The icon is not one of the fields and stays as it is.
    void storeInto(SystemEntry &entry) const;

    // After a save was refused because the file changed meanwhile: each field the user changed
    // since opened keeps edited's value, every other takes now's, the file's new one.
    static SystemConfigFields keepingEdits(const SystemConfigFields &opened, const SystemConfigFields &edited,
                                           const SystemConfigFields &now);

    bool operator==(const SystemConfigFields &) const = default;
};

} // namespace marlit
