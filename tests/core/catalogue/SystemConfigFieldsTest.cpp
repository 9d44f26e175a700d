#include "core/catalogue/SystemConfigFields.h"
#include "core/catalogue/CatalogueFile.h"

#include "EntryTestSupport.h"

#include <gtest/gtest.h>

using marlit::CatalogueFile;
using marlit::CategoryCatalogue;
using marlit::entryOf;
using marlit::SystemConfigFields;
using marlit::SystemEntry;

namespace {

// What "Save" stores for the texts of the folder and emulator fields. Every text is stored whole;
// only the folders gain their separator and the emulator is split after its last one.
TEST(SystemConfigFields, SaveStoresFoldersWithSeparatorAndSplitsTheEmulator)
{
    struct Case
    {
        const char *folderText;
        const char *storedFolder;
        const char *emulatorText;
        const char *emulatorDirectory;
        const char *emulatorFile;
    };
    const Case cases[] = {
        {"/roms/nes", "/roms/nes/", "/opt/emu/run.sh", "/opt/emu/", "run.sh"}, // full path
        {"/roms/nes/", "/roms/nes/", "run.sh", "", "run.sh"},                  // a file alone
        {"", "", "/opt/emu/", "/opt/emu/", ""},                                // a folder alone
        {"/", "/", "", "", ""},                                                // empty
        {"roms", "roms/", "/run.sh", "/", "run.sh"},                           // relative; at the root
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.folderText) + " | " + c.emulatorText);
        SystemConfigFields fields;
        fields.romDirectory = c.folderText;
        fields.snapshotDirA = c.folderText;
        fields.snapshotDirB = c.folderText;
        fields.emulatorPath = c.emulatorText;
        SystemEntry entry = entryOf("old name");
        entry.iconPath = "/icons/nes.ico";
        fields.storeInto(entry);
        EXPECT_EQ(entry.romDirectory, c.storedFolder);
        EXPECT_EQ(entry.snapshotDirA, c.storedFolder);
        EXPECT_EQ(entry.snapshotDirB, c.storedFolder);
        EXPECT_EQ(entry.emulatorDirectory, c.emulatorDirectory);
        EXPECT_EQ(entry.emulatorFile, c.emulatorFile);
        EXPECT_EQ(entry.name, "");                   // an emptied field is stored empty
        EXPECT_EQ(entry.iconPath, "/icons/nes.ico"); // not a field: kept
    }
}

// An entry read from a file splits its emulator differently (the file part keeps the separator);
// the dialog shows the path joined, and saving it unchanged writes the same record bytes.
TEST(SystemConfigFields, UnchangedFieldsOfALoadedEntryWriteTheSameRecord)
{
    const std::string record = "NAME = NES\r\nDESC = Nintendo\r\nROMDIR = /roms/nes/\r\nEMU = /opt/emu/run.sh\r\n"
                               "COMMAND LINE = @-fullscreen\r\nICON = nes.ico\r\nSNAPADIR = /shots/a/\r\n"
                               "SNAPBDIR = \r\nSNAPSHOT = /shots/none.png\r\n\r\n";
    const CategoryCatalogue loaded = CatalogueFile::parse(record);
    ASSERT_EQ(loaded.size(), 1);
    const SystemConfigFields fields = SystemConfigFields::fromEntry(loaded.entries()[0]);
    EXPECT_EQ(fields.emulatorPath, "/opt/emu/run.sh");
    EXPECT_TRUE(fields.paramsAfterRom);

    SystemEntry saved = loaded.entries()[0];
    fields.storeInto(saved);
    EXPECT_EQ(saved.emulatorDirectory, "/opt/emu/");
    EXPECT_EQ(saved.emulatorFile, "run.sh");
    EXPECT_EQ(CatalogueFile::serialize(CategoryCatalogue({saved})), record);
}

// A save refused because another program changed the file: what the user typed stays, what
// they left alone follows the file, including a field the user cleared or unticked.
TEST(SystemConfigFields, RefusedSaveKeepsTheUsersFieldsOverTheFilesNewOnes)
{
    SystemConfigFields opened;
    opened.name = "SNES";
    opened.description = "old";
    opened.emulatorPath = "/usr/bin/snes9x";
    opened.commandLine = "-fullscreen";
    opened.paramsAfterRom = true;
    SystemConfigFields edited = opened;
    edited.name = "Super Famicom";
    edited.commandLine.clear();
    edited.paramsAfterRom = false;
    SystemConfigFields now = opened;
    now.description = "described by hand";
    now.emulatorPath = "/usr/games/snes9x";
    now.name = "SNES (PAL)";

    const SystemConfigFields kept = SystemConfigFields::keepingEdits(opened, edited, now);
    EXPECT_EQ(kept.name, "Super Famicom");
    EXPECT_EQ(kept.description, "described by hand");
    EXPECT_EQ(kept.emulatorPath, "/usr/games/snes9x");
    EXPECT_EQ(kept.commandLine, "");
    EXPECT_FALSE(kept.paramsAfterRom);
    EXPECT_EQ(SystemConfigFields::keepingEdits(opened, opened, now), now);
}

} // namespace
