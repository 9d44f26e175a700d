#include "core/catalogue/SystemValuesFile.h"
#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/SystemFileTypes.h"

#include "EntryTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using marlit::CatalogueFile;
using marlit::CategoryCatalogue;
using marlit::entryOf;
using marlit::ListOperation;
using marlit::SystemEntry;
using marlit::SystemValuesFile;
using marlit::test::TempDir;

namespace {

SystemEntry withTypes(SystemEntry entry, std::string_view types)
{
    entry.values.set("file-types", types);
    return entry;
}

// Two systems of the same name (added from one preset) and one without values.
const SystemEntry kPsx =
    withTypes(entryOf("Sony", "PlayStation", "/roms/psx/", "/usr/games", "/mednafen"), "*.cue *.m3u");
const SystemEntry kNesA = withTypes(entryOf("Nintendo", "NES", "/roms/nes/", "/usr/games", "/fceux"), "*.nes");
const SystemEntry kNesB = withTypes(entryOf("Nintendo", "NES", "/roms/famicom/", "/usr/games", "/fceux"), "*.fds");
const SystemEntry kBare = entryOf("Atari", "2600", "/roms/2600/", "/usr/games", "/stella");

std::vector<std::string> typesByRow(const CategoryCatalogue &catalogue)
{
    std::vector<std::string> types;
    for (const SystemEntry &entry : catalogue.entries())
        types.push_back(entry.values.find("file-types") ? entry.values.value("file-types") : "(none)");
    return types;
}

std::string replaced(std::string text, std::string_view from, std::string_view to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

} // namespace

TEST(SystemValuesFile, WritesBesideTheCatalogueWhichKeepsItsBytes)
{
    TempDir dir;
    const CategoryCatalogue catalogue({kBare, kPsx});
    ASSERT_TRUE(CatalogueFile::save(dir.file("console.ini"), catalogue).ok());
    EXPECT_EQ(dir.read("console.ini"), CatalogueFile::serialize(CategoryCatalogue(
                                           {entryOf("Atari", "2600", "/roms/2600/", "/usr/games", "/stella"),
                                            entryOf("Sony", "PlayStation", "/roms/psx/", "/usr/games", "/mednafen")})));
    EXPECT_EQ(dir.read("console.values"),
              "# Marlit's values for the systems of the catalogue beside this file that its records have no\n"
              "# place for. Each block belongs to the record it names.\n"
              "\n"
              "[system]\n"
              "ROW = 1\n"     // where the system stood when written
              "NAME = Sony\n" // the record's nine values, as the catalogue holds them
              "DESC = PlayStation\n"
              "ROMDIR = /roms/psx/\n"
              "EMU = /usr/games/mednafen\n"
              "COMMAND LINE = \n"
              "ICON = \n"
              "SNAPADIR = \n"
              "SNAPBDIR = \n"
              "SNAPSHOT = \n"
              "file-types = *.cue *.m3u\n"); // the values, by key
    EXPECT_EQ(CatalogueFile::load(dir.file("console.ini")), catalogue);

    // Without any value and without a file, nothing is written.
    ASSERT_TRUE(CatalogueFile::save(dir.file("classic.ini"), CategoryCatalogue({kBare})).ok());
    struct stat info
    {
    };
    EXPECT_NE(lstat(dir.file("classic.values").c_str(), &info), 0);
}

TEST(SystemValuesFile, ValuesFollowTheirSystemThroughListOperationsAndEdits)
{
    TempDir dir;
    const std::string path = dir.file("console.ini");
    CategoryCatalogue catalogue({kNesA, kBare, kPsx, kNesB});
    catalogue.apply(ListOperation::MoveUp, 3);    // NesA Bare NesB Psx
    catalogue.apply(ListOperation::Delete, 1);    // NesA NesB Psx
    catalogue.entryAt(2)->name = "Sony Computer"; // renamed in Setup
    SystemEntry copy = *catalogue.entryAt(0);     // "Save as New Entry"
    copy.romDirectory = "/roms/nes-hacks/";
    catalogue.append(copy);
    ASSERT_TRUE(CatalogueFile::save(path, catalogue).ok());
    EXPECT_EQ(typesByRow(CatalogueFile::load(path)),
              (std::vector<std::string>{"*.nes", "*.fds", "*.cue *.m3u", "*.nes"}));
}

TEST(SystemValuesFile, HandEditedCatalogueKeepsValuesOnTheirSystemsOrDropsThem)
{
    struct Case
    {
        const char *what;
        std::string (*edit)(std::string);
        std::vector<std::string> types;
    };
    const Case cases[] = {
        {"unchanged", [](std::string bytes) { return bytes; }, {"*.nes", "*.cue *.m3u", "*.fds", "(none)"}},
        {"renamed",
         [](std::string b) { return replaced(b, "NAME = Sony", "NAME = Sony PS1"); },
         {"*.nes", "*.cue *.m3u", "*.fds", "(none)"}},
        {"one of the two Nintendo renamed",
         [](std::string b) {
             return replaced(b, "NAME = Nintendo\r\nDESC = NES\r\nROMDIR = /roms/famicom/",
                             "NAME = Famicom\r\nDESC = NES\r\nROMDIR = /roms/famicom/");
         },
         {"*.nes", "*.cue *.m3u", "*.fds", "(none)"}},
        {"records reordered",
         [](std::string b) {
             const std::size_t second = b.find("NAME = Sony");
             const std::size_t third = b.find("NAME = Nintendo", second);
             return b.substr(third) + b.substr(0, third);
         },
         {"*.fds", "(none)", "*.nes", "*.cue *.m3u"}},
        {"a record replaced by another system",
         [](std::string b) {
             return replaced(b, "NAME = Sony\r\nDESC = PlayStation\r\nROMDIR = /roms/psx/\r\nEMU = /usr/games/mednafen",
                             "NAME = Sega\r\nDESC = Saturn\r\nROMDIR = /roms/saturn/\r\nEMU = /usr/games/yabause");
         },
         {"*.nes", "(none)", "*.fds", "(none)"}},
        {"both Nintendo folders renamed alike: neither can tell",
         [](std::string b) {
             b = replaced(b, "ROMDIR = /roms/nes/", "ROMDIR = /roms/8bit/");
             return replaced(b, "ROMDIR = /roms/famicom/", "ROMDIR = /roms/8bit/");
         },
         {"(none)", "*.cue *.m3u", "(none)", "(none)"}},
        {"the Atari record became a copy of Sony renamed",
         [](std::string b) {
             return replaced(b, "NAME = Atari\r\nDESC = 2600\r\nROMDIR = /roms/2600/\r\nEMU = /usr/games/stella",
                             "NAME = Sony\r\nDESC = PlayStation\r\nROMDIR = /roms/psx/\r\nEMU = /usr/games/mednafen");
         },
         {"*.nes", "*.cue *.m3u", "*.fds", "(none)"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.file("console.ini");
        ASSERT_TRUE(CatalogueFile::save(path, CategoryCatalogue({kNesA, kPsx, kNesB, kBare})).ok());
        dir.write("console.ini", c.edit(dir.read("console.ini")));
        EXPECT_EQ(typesByRow(CatalogueFile::load(path)), c.types);
    }
}

TEST(SystemValuesFile, MalformedValuesFileNeverCrashesAndKeepsWhatItCanRead)
{
    CategoryCatalogue catalogue({kBare});
    SystemValuesFile::attach(
        "junk\n[system]\nNAME = Atari\nDESC = 2600\nROMDIR = /roms/2600/\nEMU = /usr/games/stella\n"
        "ROW = x\nBad Key = 1\n= 2\nfile-types = *.a26\r\n[system]\n\n[system",
        catalogue);
    EXPECT_EQ(typesByRow(catalogue), std::vector<std::string>{"*.a26"});
    EXPECT_EQ(catalogue.entryAt(0)->values.all().size(), 1U);
}

TEST(SystemFileTypes, ComeFromTheSystemElseFromTheEmulatorThatStartsIt)
{
    using marlit::EmulatorPreset;
    using marlit::SystemFileTypes;
    const auto systemOf = [](std::string name, std::string description, std::optional<std::string> parameters,
                             std::optional<std::vector<std::string>> extensions) {
        EmulatorPreset::System system;
        system.name = std::move(name);
        system.description = std::move(description);
        system.parameters = std::move(parameters);
        system.extensions = std::move(extensions);
        return system;
    };
    EmulatorPreset mednafen;
    mednafen.programs = {"mednafen"};
    mednafen.extensions = {"nes", "cue", "m3u"};
    mednafen.systems = {systemOf("Nintendo", "Nintendo Entertainment System", {}, {{"nes"}}),
                        systemOf("Sony", "PlayStation", {}, {{"cue", "m3u"}})};
    EmulatorPreset mame;
    mame.programs = {"mame"};
    mame.extensions = {"zip", "7z"};
    mame.systems = {systemOf("Arcade", "Arcade machines", {}, {}),
                    systemOf("Coleco", "ColecoVision", "coleco -cart", {{"col", "bin"}})};
    const std::vector<EmulatorPreset> presets = {mednafen, mame};
    struct Case
    {
        const char *what;
        SystemEntry entry;
        std::string text;
    };
    SystemEntry own = entryOf("Sony", "PlayStation", "/roms/psx/", "/usr/games", "/mednafen");
    own.values.set(SystemFileTypes::kKey, "*.chd");
    SystemEntry everyFile = own;
    everyFile.values.set(SystemFileTypes::kKey, "");
    const Case cases[] = {
        {"told by the description", entryOf("Sony", "PlayStation", "/roms/", "/usr/games", "/mednafen"), "*.cue *.m3u"},
        {"not told: all it could be", entryOf("Mine", "Games", "/roms/", "/usr/games", "/mednafen"),
         "*.nes *.cue *.m3u"},
        {"told by the parameters", entryOf("Coleco", "", "/roms/", "/opt/mame", "/mame", "coleco -cart"),
         "*.col *.bin"},
        {"the emulator's own", entryOf("Arcade", "", "/roms/", "/opt/mame", "/mame"), "*.zip *.7z"},
        {"an emulator no preset knows", entryOf("Other", "", "/roms/", "/usr/bin", "/other"), ""},
        {"the system's own", own, "*.chd"},
        {"the system's own, empty: every file", everyFile, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SystemFileTypes::text(c.entry, presets), c.text);
    }
    EXPECT_EQ(SystemFileTypes::patterns(" cue, .M3U;*.chd  *.cue"),
              (std::vector<std::string>{"*.cue", "*.M3U", "*.chd"}));
}
