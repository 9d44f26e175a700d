// The table of known emulators as the program reads it: whole entries taken, each fault of an
// entry named and the entry left out, and a file that is no table giving no emulator at all.

#include "TempDir.h"

#include "gui/catalogue/EmulatorTableReader.h"

#include <QTest>

#include <set>

using marlit::EmulatorPreset;
using marlit::EmulatorTable;
using marlit::test::TempDir;

namespace {

// Two good entries, then one fault per entry.
const char *const kTable = R"json({ "format": 1, "note": "x", "emulators": [
  { "name": "DOSBox", "programs": ["dosbox"], "flatpaks": ["com.dosbox.DOSBox"], "install": "sudo apt install dosbox",
    "parameters": "@-exit", "extensions": ["exe", "com", "bat"], "checked": "dosbox(1)",
    "systems": [ { "name": "DOSBox", "description": "MS-DOS programs", "category": "Computer" } ] },
  { "name": "RetroArch", "programs": ["retroarch", "/opt/ra/retroarch"], "flatpaks": [],
    "files": ["/usr/lib/libretro"], "install": "sudo apt install retroarch", "parameters": "",
    "flatpakParameters": "-f", "extensions": ["zip"], "checked": "retroarch --help",
    "systems": [ { "name": "NES", "description": "Nintendo", "category": "Console", "parameters": "-L nes.so",
                   "flatpakParameters": "", "files": ["/usr/lib/libretro/nes.so"], "extensions": ["nes"] },
                 { "name": "Lynx", "description": "Atari Lynx", "category": "Handheld" } ] },
  { "name": "NoInstall", "programs": ["a"], "flatpaks": [], "parameters": "", "extensions": [], "checked": "c",
    "systems": [ { "name": "A", "description": "a", "category": "Console" } ] },
  { "name": "Arcade", "programs": ["a"], "flatpaks": [], "install": "i", "parameters": "", "extensions": [],
    "checked": "c", "systems": [ { "name": "A", "description": "a", "category": "Arcade" } ] },
  { "name": "BadId", "programs": [], "flatpaks": ["pcsx2"], "install": "i", "parameters": "", "extensions": [],
    "checked": "c", "systems": [ { "name": "A", "description": "a", "category": "Console" } ] },
  { "name": "Typo", "programs": ["a"], "flatpak": [], "install": "i", "parameters": "", "extensions": [],
    "checked": "c", "systems": [ { "name": "A", "description": "a", "category": "Console" } ] },
  { "name": "Nowhere", "programs": [], "flatpaks": [], "install": "i", "parameters": "", "extensions": [],
    "checked": "c", "systems": [ { "name": "A", "description": "a", "category": "Console" } ] },
  { "name": "NoSystem", "programs": ["a"], "flatpaks": [], "install": "i", "parameters": "", "extensions": ["nes"],
    "checked": "c", "systems": [] },
  { "name": "Dots", "programs": ["a"], "flatpaks": [], "install": "i", "parameters": "", "extensions": [".nes"],
    "checked": "c", "systems": [ { "name": "A", "description": "a", "category": "Console" } ] },
  { "name": "After", "programs": ["a"], "flatpaks": [], "install": "i", "parameters": "", "extensions": [],
    "checked": "c", "systems": [ { "name": "A", "description": "a", "category": "Console",
                                   "flatpakParameters": "@-x", "files": ["cores/a.so"] } ] },
  "MAME",
  { "name": 7 }
] })json";

// As Qt's own list, so that a failing comparison shows the texts.
QStringList listOf(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &text : texts)
        list << QString::fromStdString(text);
    return list;
}

EmulatorPreset::System systemOf(const char *name, const char *description, int category)
{
    return {name, description, category, {}, {}, {}, {}};
}

} // namespace

class EmulatorTableReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void takesWholeEntriesAndNamesEachFaultOfTheOthers();
    void aFileThatIsNoTableGivesNoEmulator();
    void shippedTableIsCompleteAndAnInstalledOneIsPreferred();
};

void EmulatorTableReaderTest::takesWholeEntriesAndNamesEachFaultOfTheOthers()
{
    const EmulatorTable table = EmulatorTableReader::parse(kTable);

    EmulatorPreset dosbox;
    dosbox.name = "DOSBox";
    dosbox.programs = {"dosbox"};
    dosbox.flatpaks = {"com.dosbox.DOSBox"};
    dosbox.install = "sudo apt install dosbox";
    dosbox.parameters = "@-exit";
    dosbox.extensions = {"exe", "com", "bat"};
    dosbox.checked = "dosbox(1)";
    dosbox.systems = {systemOf("DOSBox", "MS-DOS programs", 3)};

    EmulatorPreset retroArch;
    retroArch.name = "RetroArch";
    retroArch.programs = {"retroarch", "/opt/ra/retroarch"};
    retroArch.files = {"/usr/lib/libretro"};
    retroArch.install = "sudo apt install retroarch";
    retroArch.flatpakParameters = "-f";
    retroArch.extensions = {"zip"};
    retroArch.checked = "retroarch --help";
    EmulatorPreset::System nes = systemOf("NES", "Nintendo", 1);
    nes.parameters = "-L nes.so";
    nes.flatpakParameters = "";
    nes.files = {"/usr/lib/libretro/nes.so"};
    nes.extensions = std::vector<std::string>{"nes"};
    retroArch.systems = {nes, systemOf("Lynx", "Atari Lynx", 2)};

    QVERIFY(table.emulators == (std::vector<EmulatorPreset>{dosbox, retroArch}));

    const QStringList expected = {
        R"(unknown field "note")",
        R"(emulator 3 ("NoInstall"): "install" is missing)",
        R"(emulator 4 ("Arcade"), system 1: "category" must be one of "Classic", "Console", "Handheld", "Computer")",
        R"(emulator 5 ("BadId"): each of "flatpaks" must be a Flatpak application id such as org.example.App)",
        R"(emulator 6 ("Typo"): unknown field "flatpak")",
        R"(emulator 6 ("Typo"): "flatpaks" is missing)",
        R"(emulator 7 ("Nowhere"): "programs" and "flatpaks" are both empty: it could never be found)",
        R"(emulator 8 ("NoSystem"): "systems" must be a list of at least one system)",
        R"(emulator 9 ("Dots"): each of "extensions" must be an extension without its dot, such as zip)",
        R"(emulator 10 ("After"), system 1: "flatpakParameters" cannot go after the ROM ("@"))",
        R"(emulator 10 ("After"), system 1: each of "files" must be an absolute path)",
        R"(emulator 11: must be an object)",
        R"(emulator 12: "name" must be a non-empty text)",
        R"(emulator 12: "programs" is missing)",
        R"(emulator 12: "flatpaks" is missing)",
        R"(emulator 12: "install" is missing)",
        R"(emulator 12: "parameters" is missing)",
        R"(emulator 12: "extensions" is missing)",
        R"(emulator 12: "checked" is missing)",
        R"(emulator 12: "systems" must be a list of at least one system)",
    };
    QCOMPARE(listOf(table.problems), expected);
}

void EmulatorTableReaderTest::aFileThatIsNoTableGivesNoEmulator()
{
    TempDir dir;
    dir.write("cut.json", std::string(kTable).substr(0, 300));
    dir.write("format2.json", R"({ "format": 2, "emulators": [] })");
    dir.write("list.json", R"([ { "format": 1 } ])");
    dir.write("empty.json", "");
    dir.write("huge.json", std::string(EmulatorTableReader::kMaxBytes + 1, ' '));
    dir.write("good.json", kTable);
    const std::pair<const char *, const char *> cases[] = {
        {"cut.json", "not JSON: unterminated string at byte 301"},
        {"format2.json", "\"format\" must be 1"},
        {"list.json", "not a JSON object"},
        {"empty.json", "not JSON: illegal value at byte 0"},
        {"huge.json", "larger than 4194304 bytes"},
        {"missing.json", "cannot be read: No such file or directory"},
    };
    for (const auto &[file, problem] : cases) {
        const EmulatorTable table = EmulatorTableReader::read(QString::fromStdString(dir.file(file)));
        QVERIFY2(table.emulators.empty(), file);
        QCOMPARE(listOf(table.problems), QStringList{QString::fromLatin1(problem)});
    }
    QCOMPARE(EmulatorTableReader::read(QString::fromStdString(dir.file("good.json"))).emulators.size(), 2u);
}

// The table built into the program: every entry whole, its category one of the four tabs, and
// each tab served. An installed table is preferred, the user's before the system's.
void EmulatorTableReaderTest::shippedTableIsCompleteAndAnInstalledOneIsPreferred()
{
    TempDir dir;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.file("user")));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(dir.file("system")));
    QCOMPARE(EmulatorTableReader::location(), QStringLiteral(":/marlit/emulators.json"));

    const EmulatorTable table = EmulatorTableReader::read(EmulatorTableReader::location());
    QCOMPARE(listOf(table.problems), QStringList());
    QVERIFY2(table.emulators.size() >= 25, std::to_string(table.emulators.size()).c_str());
    std::set<std::string> names;
    std::set<int> categories;
    for (const EmulatorPreset &emulator : table.emulators) {
        QVERIFY2(names.insert(emulator.name).second, emulator.name.c_str());
        for (const EmulatorPreset::System &system : emulator.systems)
            categories.insert(system.category);
    }
    QCOMPARE(categories, (std::set<int>{0, 1, 2, 3}));

    dir.write("system/marlit/emulators.json", "{}");
    QCOMPARE(EmulatorTableReader::location(), QString::fromStdString(dir.file("system/marlit/emulators.json")));
    dir.write("user/marlit/emulators.json", "{}");
    QCOMPARE(EmulatorTableReader::location(), QString::fromStdString(dir.file("user/marlit/emulators.json")));
}

QTEST_MAIN(EmulatorTableReaderTest)
#include "tst_emulatortablereader.moc"
