#include "core/catalogue/CatalogueFile.h"

#include "EntryTestSupport.h"
#include "ForkedChild.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using marlit::CatalogueFile;
using marlit::CatalogueTemplate;
using marlit::CategoryCatalogue;
using marlit::entryOf;
using marlit::SystemEntry;
using marlit::test::runAsUnprivilegedUser;
using marlit::test::runInChild;
using marlit::test::TempDir;

namespace {

std::string replaceAll(std::string text, std::string_view from, std::string_view to)
{
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

CategoryCatalogue catalogueOf(std::vector<SystemEntry> entries)
{
    return CategoryCatalogue(std::move(entries));
}

//                                  name        description      romDirectory   emulator directory, file
const SystemEntry kSnes = entryOf("Nintendo", "Super Famicom", "/roms/snes/", "/usr/games", "/snes9x",
                                  // commandLine, paramsAfterRom, iconPath, snapshotDirA, snapshotDirB, defaultSnapshot
                                  "-fullscreen", true, "snes.ico", "/shots/a/", "", "snes.png");

const std::string kSnesBytes = "NAME = Nintendo\r\n"             // name
                               "DESC = Super Famicom\r\n"        // description
                               "ROMDIR = /roms/snes/\r\n"        // romDirectory
                               "EMU = /usr/games/snes9x\r\n"     // emulatorDirectory + emulatorFile
                               "COMMAND LINE = @-fullscreen\r\n" // "@" for paramsAfterRom, commandLine
                               "ICON = snes.ico\r\n"             // iconPath
                               "SNAPADIR = /shots/a/\r\n"        // snapshotDirA
                               "SNAPBDIR = \r\n"                 // snapshotDirB, empty
                               "SNAPSHOT = snes.png\r\n"         // defaultSnapshot
                               "\r\n";                           // the blank line ending every record

TEST(CatalogueFileWriter, WritesTenCrLfLinesPerRecord)
{
    EXPECT_EQ(CatalogueFile::serialize(catalogueOf({kSnes})), kSnesBytes);
    EXPECT_EQ(CatalogueFile::serialize(catalogueOf({kSnes, kSnes})), kSnesBytes + kSnesBytes);
    EXPECT_EQ(CatalogueFile::parse(kSnesBytes + kSnesBytes), catalogueOf({kSnes, kSnes}));
}

TEST(CatalogueFileWriter, EmptyEntryIsTheTemplateAndEmptyCatalogueIsNoBytes)
{
    const std::string expected = "NAME = \r\n"         // 9
                                 "DESC = \r\n"         // 9
                                 "ROMDIR = \r\n"       // 11
                                 "EMU = \r\n"          // 8
                                 "COMMAND LINE = \r\n" // 17
                                 "ICON = \r\n"         // 9
                                 "SNAPADIR = \r\n"     // 13
                                 "SNAPBDIR = \r\n"     // 13
                                 "SNAPSHOT = \r\n"     // 13
                                 "\r\n";               // 2
    EXPECT_EQ(expected.size(), 104u);
    EXPECT_EQ(CatalogueTemplate, expected);
    EXPECT_EQ(CatalogueFile::serialize(catalogueOf({SystemEntry{}})), expected);
    EXPECT_EQ(CatalogueFile::parse(expected), catalogueOf({SystemEntry{}}));

    EXPECT_EQ(CatalogueFile::serialize(CategoryCatalogue{}), "");
    EXPECT_TRUE(CatalogueFile::parse("").empty());
}

TEST(CatalogueFileRoundTrip, GivesBackEntriesWithTheThreeNormalisations)
{
    const SystemEntry written = entryOf("  Sega", " Mega Drive", "/roms/md", "/emu/", "emu.sh", "-f", false, "  md.ico",
                                        "/shots/a", "/shots/b/", "md.png");
    SystemEntry expected = written;
    expected.name = "Sega"; // leading spaces are lost
    expected.description = "Mega Drive";
    expected.iconPath = "md.ico";
    expected.romDirectory = "/roms/md/"; // folders get their separator
    expected.snapshotDirA = "/shots/a/";
    expected.emulatorDirectory = "/emu"; // the split moves to the last separator
    expected.emulatorFile = "/emu.sh";

    const std::string bytes = CatalogueFile::serialize(catalogueOf({written, written}));
    EXPECT_EQ(CatalogueFile::parse(bytes), catalogueOf({expected, expected}));
    // What was read once comes back unchanged.
    EXPECT_EQ(CatalogueFile::parse(CatalogueFile::serialize(CatalogueFile::parse(bytes))), CatalogueFile::parse(bytes));
}

TEST(CatalogueFileRoundTrip, AtSignMarksParametersAfterTheRom)
{
    struct Case
    {
        std::string commandLine;
        bool paramsAfterRom;
        std::string readCommandLine;
        bool readParamsAfterRom;
    };
    const Case cases[] = {
        {"-f", false, "-f", false},   {"-f", true, "-f", true},
        {"@-f", false, "-f", true},   // a leading "@" of the text itself turns into the flag
        {"  -f", true, "  -f", true}, // spaces after the "@" are not skipped
        {"@", true, "@", true},       // only the first "@" is the flag
        {"", true, "", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("commandLine \"" + c.commandLine + "\" paramsAfterRom " + std::to_string(c.paramsAfterRom));
        SystemEntry entry;
        entry.commandLine = c.commandLine;
        entry.paramsAfterRom = c.paramsAfterRom;
        const std::string bytes = CatalogueFile::serialize(catalogueOf({entry}));
        EXPECT_NE(bytes.find("COMMAND LINE = " + std::string(c.paramsAfterRom ? "@" : "") + c.commandLine + "\r\n"),
                  std::string::npos);
        const CategoryCatalogue catalogue = CatalogueFile::parse(bytes);
        const SystemEntry *read = catalogue.entryAt(0);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->commandLine, c.readCommandLine);
        EXPECT_EQ(read->paramsAfterRom, c.readParamsAfterRom);
    }
}

TEST(CatalogueFileReader, FolderValuesGetTheirSeparatorAndEmulatorSplitsAtTheLastOne)
{
    struct Case
    {
        std::string value;
        std::string folder;
        std::string emulatorDirectory;
        std::string emulatorFile;
    };
    const Case cases[] = {
        {"/emu/emu.sh", "/emu/emu.sh/", "/emu", "/emu.sh"},
        {"/emu.sh", "/emu.sh/", "", "/emu.sh"},
        {"/roms/", "/roms/", "/roms", "/"},
        {"emu.sh", "emu.sh/", "", "emu.sh"}, // no separator: the whole value is the file
        {"", "", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("value \"" + c.value + "\"");
        const std::string bytes = "NAME = n\nDESC = d\nROMDIR = " + c.value + "\nEMU = " + c.value +
                                  "\nCOMMAND LINE = \nICON = \nSNAPADIR = " + c.value + "\nSNAPBDIR = " + c.value +
                                  "\nSNAPSHOT = " + c.value + "\n";
        const CategoryCatalogue catalogue = CatalogueFile::parse(bytes);
        const SystemEntry *read = catalogue.entryAt(0);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->romDirectory, c.folder);
        EXPECT_EQ(read->snapshotDirA, c.folder);
        EXPECT_EQ(read->snapshotDirB, c.folder);
        EXPECT_EQ(read->emulatorDirectory, c.emulatorDirectory);
        EXPECT_EQ(read->emulatorFile, c.emulatorFile);
        EXPECT_EQ(read->defaultSnapshot, c.value);
    }
}

TEST(CatalogueFileReader, ReadsByPositionNotByKey)
{
    const CategoryCatalogue read = CatalogueFile::parse("FOO = a\r\nX = b\r\n");
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(read.entryAt(0)->name, "a");
    EXPECT_EQ(read.entryAt(0)->description, "b");
}

TEST(CatalogueFileReader, DropsOneCharacterAfterEqualsForEveryKeyButName)
{
    const CategoryCatalogue read = CatalogueFile::parse("NAME =value\r\nDESC =value\r\nROMDIR =\t/r\r\nEMU = \t/e\r\n"
                                                        "COMMAND LINE =  = x\r\n");
    ASSERT_EQ(read.size(), 1);
    const SystemEntry &entry = *read.entryAt(0);
    EXPECT_EQ(entry.name, "value");
    EXPECT_EQ(entry.description, "alue");
    EXPECT_EQ(entry.romDirectory, "/r/");     // the one character may be a tab
    EXPECT_EQ(entry.emulatorFile, "/e");      // tabs are never skipped as spaces
    EXPECT_EQ(entry.emulatorDirectory, "\t"); //
    EXPECT_EQ(entry.commandLine, "= x");      // "=" inside a value is plain text
}

TEST(CatalogueFileReader, StrayEqualsShiftsTheFollowingValuesOneFieldOn)
{
    const std::string bytes = "NAME = n\r\n"
                              "; note = x\r\n" // the stray "="
                              "DESC = d\r\nROMDIR = r\r\nEMU = e\r\nCOMMAND LINE = c\r\nICON = i\r\n"
                              "SNAPADIR = a\r\nSNAPBDIR = b\r\nSNAPSHOT = s\r\n\r\n";
    // Every value after NAME lands one field on; EMU "r" has no separator, so it is all file.
    const SystemEntry shifted = entryOf("n", "x", "d/", "", "r", "e", false, "c", "i/", "a/", "b");
    // The SNAPSHOT line starts a record of its own, cut short by the end of the data.
    const SystemEntry leftover = entryOf("s");
    EXPECT_EQ(CatalogueFile::parse(bytes), catalogueOf({shifted, leftover}));
}

TEST(CatalogueFileReader, MissingKeyLineShiftsTheFollowingValuesOneFieldBack)
{
    const std::string bytes = "NAME = n1\r\n" /* no DESC line */ "ROMDIR = r1\r\nEMU = e1\r\nCOMMAND LINE = c1\r\n"
                              "ICON = i1\r\nSNAPADIR = a1\r\nSNAPBDIR = b1\r\nSNAPSHOT = s1\r\n\r\n"
                              "NAME = n2\r\nDESC = d2\r\nROMDIR = r2\r\nEMU = e2\r\nCOMMAND LINE = c2\r\n"
                              "ICON = i2\r\nSNAPADIR = a2\r\nSNAPBDIR = b2\r\nSNAPSHOT = s2\r\n\r\n";
    // Every value after NAME lands one field back; SNAPSHOT comes from the next record's NAME line.
    const SystemEntry first = entryOf("n1", "r1", "e1/", "", "c1", "i1", false, "a1", "b1/", "s1/", "n2");
    // The next record starts at its DESC line and runs out of "=" before its SNAPSHOT.
    const SystemEntry second = entryOf("d2", "r2", "e2/", "", "c2", "i2", false, "a2", "b2/", "s2/", "");
    EXPECT_EQ(CatalogueFile::parse(bytes), catalogueOf({first, second}));
}

// Empty values are the hard part: the one character dropped after "=" must not be a line end.
const std::string kMixedRecords = "NAME = a\r\nDESC = \r\nROMDIR = /r\r\nEMU = \r\nCOMMAND LINE = @x\r\n"
                                  "ICON = \r\nSNAPADIR = \r\nSNAPBDIR = /b\r\nSNAPSHOT = \r\n\r\n"
                                  "NAME = \r\nDESC =\r\nROMDIR =\r\nEMU = /e/f\r\nCOMMAND LINE =\r\n"
                                  "ICON = i\r\nSNAPADIR =\r\nSNAPBDIR =\r\nSNAPSHOT = s\r\n\r\n";

TEST(CatalogueFileReader, CrLfLfAndCrLineEndsReadTheSame)
{
    const CategoryCatalogue expected = catalogueOf({entryOf("a", "", "/r/", "", "", "x", true, "", "", "/b/", ""),
                                                    entryOf("", "", "", "/e", "/f", "", false, "i", "", "", "s")});
    const std::pair<const char *, std::string> styles[] = {
        {"CR LF", kMixedRecords},
        {"LF", replaceAll(kMixedRecords, "\r\n", "\n")},
        {"CR", replaceAll(kMixedRecords, "\r\n", "\r")},
    };
    for (const auto &[style, bytes] : styles) {
        SCOPED_TRACE(style);
        EXPECT_EQ(CatalogueFile::parse(bytes), expected);
    }
}

TEST(CatalogueFileReader, EmptyValueInLfOrCrOnlyFileDoesNotSwallowTheNextLine)
{
    for (const char *lineEnd : {"\n", "\r"}) {
        SCOPED_TRACE(lineEnd[0] == '\n' ? "LF" : "CR");
        const std::string bytes = replaceAll("NAME = n\r\nDESC =\r\nROMDIR = /r/\r\n", "\r\n", lineEnd);
        const CategoryCatalogue read = CatalogueFile::parse(bytes);
        ASSERT_EQ(read.size(), 1);
        EXPECT_EQ(read.entryAt(0)->description, "");
        EXPECT_EQ(read.entryAt(0)->romDirectory, "/r/");
    }
}

// Values are scanned a word at a time: a line end must be found wherever it falls in a word,
// among bytes just inside and just outside the range that can end a value.
TEST(CatalogueFileReader, ValueEndsAtItsLineEndWhereverItFallsInAWord)
{
    const std::string bytesAround = "\x0e\x01\x7f\x80\x8d\x8e\xff\t=x ";
    for (std::size_t length = 0; length <= 24; ++length) {
        std::string value = "v";
        for (std::size_t i = 0; i < length; ++i)
            value += bytesAround[(i * 7 + length) % bytesAround.size()];
        for (const char *lineEnd : {"\r", "\n"}) {
            SCOPED_TRACE(testing::PrintToString(value + lineEnd));
            const CategoryCatalogue read = CatalogueFile::parse("NAME = " + value + lineEnd + "DESC = d");
            ASSERT_EQ(read.size(), 1);
            EXPECT_EQ(read.entryAt(0)->name, value);
            EXPECT_EQ(read.entryAt(0)->description, "d");
        }
    }
}

TEST(CatalogueFileReader, EdgesOfTheData)
{
    struct Case
    {
        const char *what;
        std::string bytes;
        CategoryCatalogue expected;
    };
    const std::string longValue(1000, 'v');
    const Case cases[] = {
        {"last record without a line end reads its snapshot to the end",
         "NAME = n\nDESC = \nROMDIR = \nEMU = \nCOMMAND LINE = \nICON = \nSNAPADIR = \nSNAPBDIR = \nSNAPSHOT = last",
         catalogueOf({entryOf("n", "", "", "", "", "", false, "", "", "", "last")})},
        {"record cut short keeps its entry", "NAME = n\r\nDESC = d", catalogueOf({entryOf("n", "d")})},
        {"values of any length are read whole",
         "NAME = " + longValue + "\r\nDESC = \r\nROMDIR = \r\nEMU = /" + longValue + "/e\r\n",
         catalogueOf({entryOf(longValue, "", "", "/" + longValue, "/e")})},
        {"text without \"=\" before and between records is ignored",
         "; header\r\n" + std::string(CatalogueTemplate) + "junk\r\n\r\n" + std::string(CatalogueTemplate),
         catalogueOf({SystemEntry{}, SystemEntry{}})},
        {"NUL inside a value ends the stored text only", std::string("NAME = ab\0cd\r\nDESC = x\r\n", 24),
         catalogueOf({entryOf("ab", "x")})},
        // Stopping there would lose every later system at the next save of the catalogue.
        {"NUL between records does not end the loading",
         std::string(CatalogueTemplate) + std::string(1, '\0') + std::string(CatalogueTemplate),
         catalogueOf({SystemEntry{}, SystemEntry{}})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CatalogueFile::parse(c.bytes), c.expected);
    }
}

TEST(CatalogueFileReader, BadInputNeverCrashes)
{
    struct Case
    {
        const char *what;
        std::string bytes;
        bool asFolder;
        int expectedEntries; // -1: any number the "=" allow
        std::size_t firstNameSize;
    };
    std::string garbage(64 * 1024, '\0');
    std::mt19937 random(20240611);
    std::generate(garbage.begin(), garbage.end(), [&] { return static_cast<char>(random()); });
    constexpr std::size_t kLarge = 50 * 1024 * 1024;
    const std::string large = "NAME = " + std::string(kLarge, 'x');

    const Case cases[] = {
        {"binary garbage", garbage, false, -1, std::string::npos},
        {"NUL bytes", std::string(4096, '\0'), false, 0, 0},
        {"no \"=\"", "just some text\r\nwith lines\r\n", false, 0, 0},
        {"only \"=\"", std::string(1000, '='), false, 1, 999},
        {"50 MB of text in one value", large, false, 1, kLarge},
        {"a folder where the file should be", "", true, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (c.asFolder)
            dir.makeFolder("classic.ini");
        else
            dir.write("classic.ini", c.bytes);
        const CategoryCatalogue read = CatalogueFile::load(dir.file("classic.ini"));
        EXPECT_LE(read.size(), std::count(c.bytes.begin(), c.bytes.end(), '='));
        if (c.expectedEntries >= 0) {
            EXPECT_EQ(read.size(), c.expectedEntries);
        }
        if (!read.empty() && c.firstNameSize != std::string::npos) {
            EXPECT_EQ(read.entryAt(0)->name.size(), c.firstNameSize);
        }
    }
}

TEST(CatalogueFileStorage, SaveThenLoadGivesTheEntriesBack)
{
    TempDir dir;
    const std::string path = dir.file("console.ini");
    ASSERT_TRUE(CatalogueFile::save(path, catalogueOf({kSnes, SystemEntry{}})).ok());
    EXPECT_EQ(CatalogueFile::load(path), catalogueOf({kSnes, SystemEntry{}}));

    ASSERT_TRUE(CatalogueFile::save(path, CategoryCatalogue{}).ok());
    EXPECT_EQ(dir.read("console.ini"), "");
    EXPECT_TRUE(CatalogueFile::load(path).empty());
    EXPECT_TRUE(CatalogueFile::load(dir.file("missing.ini")).empty());
}

TEST(CatalogueFileStorage, SaveRefusesReadOnlyFileAndLeavesItUnchanged)
{
    TempDir dir;
    dir.write("classic.ini", kSnesBytes);
    ASSERT_EQ(chmod(dir.file("classic.ini").c_str(), 0444), 0);
    EXPECT_FALSE(CatalogueFile::save(dir.file("classic.ini"), CategoryCatalogue{}).ok());
    EXPECT_EQ(dir.read("classic.ini"), kSnesBytes);
}

TEST(CatalogueFileStorage, FailedSaveLeavesThePreviousFileIntact)
{
    TempDir dir;
    dir.makeFolder("folder.ini");
    EXPECT_FALSE(CatalogueFile::save(dir.file("folder.ini"), catalogueOf({kSnes})).ok());
    EXPECT_FALSE(CatalogueFile::save(dir.file("missing/classic.ini"), catalogueOf({kSnes})).ok());
    EXPECT_FALSE(dir.exists("missing"));
}

TEST(CatalogueFileStorage, FailedSaveInReadOnlyFolderLeavesThePreviousFileIntact)
{
    TempDir dir;
    dir.write("locked/classic.ini", kSnesBytes);
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0555), 0);
    EXPECT_EQ(runAsUnprivilegedUser(dir.path(),
                                    [&] { return CatalogueFile::save(dir.file("locked/classic.ini"), {}).reason(); }),
              std::strerror(EACCES));
    EXPECT_EQ(dir.read("locked/classic.ini"), kSnesBytes);
}

TEST(CatalogueFileStorage, FullDiskKeepsThePreviousFileRemovesTheTemporaryAndSaysWhy)
{
    TempDir dir;
    dir.write("console.ini", kSnesBytes);
    const CategoryCatalogue large = catalogueOf(std::vector<SystemEntry>(100, kSnes));
    const std::optional<std::string> error = runInChild([&] {
        // No file may grow beyond 4 KB here, as on a full disk; a write beyond fails with EFBIG
        // instead of ending the process.
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        return std::to_string(CatalogueFile::save(dir.file("console.ini"), large).error());
    });
    EXPECT_EQ(error, std::to_string(EFBIG));
    EXPECT_EQ(dir.read("console.ini"), kSnesBytes);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"console.ini"});
}

TEST(CatalogueFileStorage, SpecialFilesAreNeitherReadNorWrittenAndNothingWaits)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("classic.ini").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.file("console.ini").c_str()), 0); // endless zeros to read
    // In a child, so that a read or write that waits for the other end of the FIFO, or reads
    // /dev/zero for ever, ends in the alarm instead of in a test that never returns.
    const std::optional<std::string> result = runInChild([&] {
        alarm(20);
        std::string text;
        for (const char *name : {"classic.ini", "console.ini"}) {
            text += std::to_string(CatalogueFile::load(dir.file(name)).size()) + " entries, ";
            text += CatalogueFile::save(dir.file(name), catalogueOf({kSnes})).reason() + "; ";
        }
        CatalogueFile::ensureCatalogueFiles(dir.path());
        return text;
    });
    const std::string refused = std::strerror(EINVAL);
    EXPECT_EQ(result, "0 entries, " + refused + "; 0 entries, " + refused + "; ");
    struct stat info
    {
    };
    ASSERT_EQ(lstat(dir.file("classic.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(std::filesystem::read_symlink(dir.file("console.ini")), "/dev/zero");
}

TEST(CatalogueFileStorage, KillsWhileSavingLeaveTheOldOrTheNewFileAndNoTemporaryForLong)
{
    TempDir dir;
    const std::string path = dir.file("console.ini");
    const CategoryCatalogue small = catalogueOf({kSnes});
    const CategoryCatalogue large = catalogueOf(std::vector<SystemEntry>(500, kSnes));
    const std::string smallBytes = CatalogueFile::serialize(small);
    const std::string largeBytes = CatalogueFile::serialize(large);
    ASSERT_TRUE(CatalogueFile::save(path, small).ok());
    const auto temporaries = [&] {
        const std::vector<std::string> names = dir.names();
        return std::count_if(names.begin(), names.end(), [](const std::string &name) { return name[0] == '.'; });
    };

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> microseconds(0, 3000);
    int leftBehind = 0;
    for (int kill = 0; kill < 300; ++kill) {
        int ready[2];
        ASSERT_EQ(pipe2(ready, O_CLOEXEC), 0);
        const pid_t saver = fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the test
            for (int save = 0;; ++save) {
                CatalogueFile::save(path, save % 2 == 0 ? large : small);
                if (save == 0) [[maybe_unused]]
                    const ssize_t written = write(ready[1], "r", 1);
            }
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1); // its first save is done
        close(ready[0]);
        // A random moment later: within a save, or between two.
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds(random)));
        ::kill(saver, SIGKILL);
        ASSERT_EQ(waitpid(saver, nullptr, 0), saver);

        const std::string bytes = dir.read("console.ini");
        ASSERT_TRUE(bytes == smallBytes || bytes == largeBytes)
            << "after kill " << kill << ": " << bytes.size() << " bytes";
        // The saver's first save removed what the one before it left: only its own last may be here.
        ASSERT_LE(temporaries(), 1) << "after kill " << kill;
        leftBehind += static_cast<int>(temporaries());
    }
    EXPECT_GT(leftBehind, 0) << "no kill fell within a save";
    ASSERT_TRUE(CatalogueFile::save(path, small).ok());
    EXPECT_EQ(dir.read("console.ini"), smallBytes);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"console.ini"});
}

TEST(CatalogueFileStorage, EnsureCreatesOnlyMissingFilesWithTheTemplate)
{
    TempDir dir;
    dir.write("classic.ini", "");            // empty, but there
    dir.write("console.ini", "NAME = kept"); // read-only, and there
    ASSERT_EQ(chmod(dir.file("console.ini").c_str(), 0444), 0);

    EXPECT_EQ(CatalogueFile::ensureCatalogueFiles(dir.path()), (std::array<bool, 4>{false, false, true, true}));
    // A second start changes nothing.
    EXPECT_EQ(CatalogueFile::ensureCatalogueFiles(dir.path()), (std::array<bool, 4>{}));

    EXPECT_EQ(dir.read("classic.ini"), "");
    EXPECT_EQ(dir.read("console.ini"), "NAME = kept");
    struct stat info
    {
    };
    ASSERT_EQ(stat(dir.file("console.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    for (const char *created : {"handheld.ini", "computer.ini"}) {
        SCOPED_TRACE(created);
        EXPECT_EQ(dir.read(created), CatalogueTemplate);
        EXPECT_EQ(CatalogueFile::load(dir.file(created)), catalogueOf({SystemEntry{}}));
    }
}

TEST(CatalogueFileStorage, EnsureWithoutFolderUsesTheWorkingDirectory)
{
    TempDir dir;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    CatalogueFile::ensureCatalogueFiles();
    ASSERT_EQ(chdir(previous), 0);
    for (const char *name : {"classic.ini", "console.ini", "handheld.ini", "computer.ini"})
        EXPECT_EQ(dir.read(name), CatalogueTemplate) << name;
}

} // namespace
