#include "core/app/SettingsFile.h"

#include "ForkedChild.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using marlit::SettingsFile;
using marlit::SettingsRecord;
using marlit::test::runInChild;
using marlit::test::TempDir;

namespace marlit {
void PrintTo(const SettingsRecord &r, std::ostream *out)
{
    *out << "{flags " << r.settings.rememberWindowSize << r.settings.rememberLastSystem << " mode "
         << r.settings.snapshotMode << " size " << r.width << "x" << r.height << " category " << r.category
         << " system " << r.system << " font " << r.fontPointSize << " colour " << std::hex << r.fontColor << std::dec
         << " face \"" << r.fontFace << "\"}";
}
} // namespace marlit

namespace {

std::string bytesOf(const SettingsFile::Record &record)
{
    return std::string(reinterpret_cast<const char *>(record.data()), record.size());
}

const SettingsRecord kWorked{.settings = {.rememberWindowSize = false, .rememberLastSystem = true, .snapshotMode = 2},
                             .width = 800,
                             .height = 600,
                             .category = 3,
                             .system = 5,
                             .fontPointSize = 90,
                             .fontColor = 0x000000ff,
                             .fontFace = "Courier New"};

std::string workedBytes()
{
    std::string bytes;
    bytes += '\x00';                               // rememberWindowSize off
    bytes += '\x01';                               // rememberLastSystem on
    bytes += '\x02';                               // snapshotMode: right of the ROM list
    bytes += "\x03\x20";                           // width 800, high byte first
    bytes += "\x02\x58";                           // height 600
    bytes += '\x03';                               // category
    bytes += '\x05';                               // system
    bytes += "090";                                // font size in tenths, "%03d"
    bytes += "000000ff";                           // colour 0x00BBGGRR (pure red), "%08x"
    bytes += "Courier New";                        // face
    bytes.resize(SettingsFile::kRecordSize, '\0'); // the face's NUL, then zero padding
    return bytes;
}

TEST(SettingsFileWriter, WritesTheWorkedRecord)
{
    EXPECT_EQ(bytesOf(SettingsFile::serialize(kWorked)), workedBytes());
    EXPECT_EQ(SettingsFile::parse(workedBytes()), kWorked);
}

TEST(SettingsFileWriter, DefaultsAreWhatAFirstCloseWrites)
{
    const std::string bytes = bytesOf(SettingsFile::serialize(SettingsRecord{}));
    EXPECT_EQ(bytes.substr(0, 3), std::string("\x01\x01\x00", 3));     // both remembered, no snapshots
    EXPECT_EQ(bytes.substr(3, 4), std::string("\x02\x80\x01\xe0", 4)); // 640 x 480
    EXPECT_EQ(bytes.substr(7, 2), std::string(2, '\0'));
    EXPECT_EQ(bytes.substr(9, 11), "12000000000");
    EXPECT_EQ(bytes.substr(20, 6), std::string("Arial\0", 6));
}

TEST(SettingsFileWriter, FormatsSizeAndColourIntoTheirFields)
{
    struct Case
    {
        int size;
        std::uint32_t colour;
        const char *fields; // offsets 9 to 19
        int readSize;
    };
    const Case cases[] = {
        {90, 0x000000ff, "090000000ff", 90},   // 9 points, pure red
        {120, 0x00ff0000, "12000ff0000", 120}, // pure blue
        {0, 0, "00000000000", 0},
        {999, 0xffffffff, "999ffffffff", 999},
        {1000, 0x0000ff00, "9990000ff00", 999}, // too big for three digits: as close as they allow
        {123456, 0x0000ff00, "9990000ff00", 999},
        {-5, 0x00abcdef, "00000abcdef", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        SettingsRecord record;
        record.fontPointSize = c.size;
        record.fontColor = c.colour;
        const std::string bytes = bytesOf(SettingsFile::serialize(record));
        EXPECT_EQ(bytes.substr(9, 11), c.fields);
        EXPECT_EQ(bytes.substr(20, 6), std::string("Arial\0", 6)); // never overwritten by a wide value
        const SettingsRecord read = SettingsFile::parse(bytes);
        EXPECT_EQ(read.fontPointSize, c.readSize);
        EXPECT_EQ(read.fontColor, c.colour);
    }
}

// Regression: a row a byte cannot hold, or no selection, once came back as another system.
TEST(SettingsFileWriter, RowsTheByteCannotHoldFallBackToTheFirstSystem)
{
    for (const auto &[row, stored] : {std::pair{0, 0x00}, {254, 0xfe}, {255, 0xff}, {256, 0xff}, {-1, 0xff}}) {
        SCOPED_TRACE(row);
        SettingsRecord record;
        record.system = row;
        EXPECT_EQ(SettingsFile::serialize(record)[8], stored);
    }
}

TEST(SettingsFileWriter, CutsALongFaceSoItsNulStaysInside)
{
    for (std::size_t length : {31u, 106u, 107u, 108u, 500u}) {
        SCOPED_TRACE(length);
        SettingsRecord record;
        record.fontFace = std::string(length, 'f');
        const SettingsFile::Record bytes = SettingsFile::serialize(record);
        const std::size_t stored = std::min<std::size_t>(length, 107);
        EXPECT_EQ(bytes[20 + stored], 0);
        EXPECT_EQ(SettingsFile::parse(bytesOf(bytes)).fontFace, std::string(stored, 'f'));
    }
}

TEST(SettingsFileReader, FieldsBeyondTheEndOfAShortFileKeepTheirDefaults)
{
    struct Case
    {
        std::size_t length;
        SettingsRecord expected;
    };
    const SettingsRecord defaults;
    const auto with = [&](auto change) {
        SettingsRecord record = defaults;
        change(record);
        return record;
    };
    const auto flags = [](SettingsRecord &r) { r.settings = kWorked.settings; };
    const auto sizeAndPlace = [&](SettingsRecord &r) {
        flags(r);
        r.width = 800;
        r.height = 600;
        r.category = 3;
        r.system = 5;
    };
    const Case cases[] = {
        {0, defaults},
        {3, with(flags)},
        {4, with(flags)}, // half a width is no width
        {5, with([&](SettingsRecord &r) {
             flags(r);
             r.width = 800;
         })},
        {11, with(sizeAndPlace)}, // a font size needs all three digits
        {12, with([&](SettingsRecord &r) {
             sizeAndPlace(r);
             r.fontPointSize = 90;
         })},
        {19, with([&](SettingsRecord &r) { // a colour needs all eight
             sizeAndPlace(r);
             r.fontPointSize = 90;
         })},
        {20, with([&](SettingsRecord &r) {
             sizeAndPlace(r);
             r.fontPointSize = 90;
             r.fontColor = 0xff;
         })},
        {24, with([&](SettingsRecord &r) {
             sizeAndPlace(r);
             r.fontPointSize = 90;
             r.fontColor = 0xff;
             r.fontFace = "Cour";
         })},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(SettingsFile::parse(workedBytes().substr(0, c.length)), c.expected);
    }
}

TEST(SettingsFileReader, OnlyTheFirst128BytesCount)
{
    EXPECT_EQ(SettingsFile::parse(workedBytes() + "Trailing bytes"), kWorked);

    std::string noNul = workedBytes();
    std::fill(noNul.begin() + 20, noNul.end(), 'F');
    EXPECT_EQ(SettingsFile::parse(noNul + "GGGG").fontFace, std::string(108, 'F'));
}

// The size and colour fields are scanned as the C library's "%3d" and "%8x" would scan them in
// the record; comparing with sscanf itself covers blanks, signs, prefixes and stray characters.
TEST(SettingsFileReader, ScansSizeAndColourLikeTheCLibrary)
{
    const char *const fields[] = {
        "09000000ff1",
        " 12000000ff",
        "  7        ",
        "-05-0000001",
        "+7x0x1F    ",
        "abczzzzzzzz",
        "   \t\t\t\t\t\t\t\t",
        "1 2FFFFFFFF",
        "0x10xg00000",
        "\t\n1 0XaBc  ",
        "12\0"
        "00000010",
        "\0\0\0"
        "0000000a",
        "9999abcdef99",
        "-  - 0x    ",
        "+-1+ffffff0",
    };
    for (const char *field : fields) {
        SCOPED_TRACE(testing::PrintToString(std::string(field, 11)));
        std::string record = workedBytes();
        record.replace(9, 11, field, 11);
        const SettingsRecord read = SettingsFile::parse(record);

        char text[SettingsFile::kRecordSize + 1] = {};
        std::memcpy(text, record.data(), record.size());
        int size = 0;
        unsigned int colour = 0;
        const bool sizeScans = std::sscanf(text + 9, "%3d", &size) == 1;
        const bool colourScans = std::sscanf(text + 12, "%8x", &colour) == 1;
        EXPECT_EQ(read.fontPointSize, sizeScans ? size : SettingsRecord{}.fontPointSize);
        EXPECT_EQ(read.fontColor, colourScans ? colour : SettingsRecord{}.fontColor);
    }
}

TEST(SettingsFileReader, StartupHonoursTheRememberFlags)
{
    SettingsRecord stored = kWorked;
    stored.width = 1024;
    stored.height = 700;
    struct Case
    {
        bool rememberWindowSize;
        bool rememberLastSystem;
        int width, height, category, system;
    };
    const Case cases[] = {
        {true, true, 1024, 700, 3, 5},
        {false, true, 640, 480, 3, 5},
        {true, false, 1024, 700, 0, 0},
        {false, false, 640, 480, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.rememberWindowSize) + std::to_string(c.rememberLastSystem));
        stored.settings.rememberWindowSize = c.rememberWindowSize;
        stored.settings.rememberLastSystem = c.rememberLastSystem;
        SettingsRecord expected = stored; // options and font always come from the file
        expected.width = c.width;
        expected.height = c.height;
        expected.category = c.category;
        expected.system = c.system;
        EXPECT_EQ(SettingsFile::startupValues(stored), expected);
    }
    EXPECT_EQ(SettingsFile::startupValues(std::nullopt), SettingsRecord{});
}

TEST(SettingsFileStorage, SaveThenLoadGivesTheRecordBack)
{
    TempDir dir;
    const std::string path = dir.file(SettingsFile::kFileName);
    EXPECT_EQ(SettingsFile::load(path), std::nullopt);
    ASSERT_TRUE(SettingsFile::save(path, kWorked).ok());
    EXPECT_EQ(dir.read(SettingsFile::kFileName), workedBytes());
    EXPECT_EQ(SettingsFile::load(path), kWorked);
    ASSERT_TRUE(SettingsFile::save(path, SettingsRecord{}).ok());
    EXPECT_EQ(SettingsFile::load(path), SettingsRecord{});
}

TEST(SettingsFileStorage, FullDiskKeepsThePreviousFileRemovesTheTemporaryAndSaysWhy)
{
    TempDir dir;
    const std::string path = dir.file(SettingsFile::kFileName);
    ASSERT_TRUE(SettingsFile::save(path, kWorked).ok());
    const std::optional<std::string> error = runInChild([&] {
        // No file may grow beyond 64 bytes here, as on a full disk; a write beyond fails with
        // EFBIG instead of ending the process.
        const rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        return std::to_string(SettingsFile::save(path, SettingsRecord{}).error());
    });
    EXPECT_EQ(error, std::to_string(EFBIG));
    EXPECT_EQ(dir.read(SettingsFile::kFileName), workedBytes());
    EXPECT_EQ(dir.names(), std::vector<std::string>{SettingsFile::kFileName});
}

TEST(SettingsFileStorage, FifoIsNeitherReadNorWrittenAndNothingWaits)
{
    TempDir dir;
    const std::string path = dir.file(SettingsFile::kFileName);
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    // In a child, so that a read or write that waits for the other end of the FIFO ends in the
    // alarm instead of in a test that never returns.
    const std::optional<std::string> result = runInChild([&] {
        alarm(20);
        const bool loaded = SettingsFile::load(path).has_value();
        return std::string(loaded ? "loaded" : "nothing loaded") + ", " + SettingsFile::save(path, kWorked).reason();
    });
    EXPECT_EQ(result, "nothing loaded, " + std::string(std::strerror(EINVAL)));
    struct stat info
    {
    };
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(SettingsFileStorage, BadInputNeverCrashes)
{
    struct Case
    {
        const char *what;
        std::string bytes;
        bool asFolder;
        std::optional<SettingsRecord> expected; // nothing: only that it reads
    };
    std::string garbage(4096, '\0');
    std::mt19937 random(20240611);
    std::generate(garbage.begin(), garbage.end(), [&] { return static_cast<char>(random()); });
    const SettingsRecord allNul{.settings = {false, false, 0},
                                .width = 0,
                                .height = 0,
                                .category = 0,
                                .system = 0,
                                .fontPointSize = 120, // no digits: the default
                                .fontColor = 0,
                                .fontFace = ""};
    const SettingsRecord allEquals{.settings = {true, true, '='},
                                   .width = '=' * 257,
                                   .height = '=' * 257,
                                   .category = '=',
                                   .system = '=',
                                   .fontPointSize = 120, // no digits: the default
                                   .fontColor = 0,
                                   .fontFace = std::string(108, '=')};

    const Case cases[] = {
        {"binary garbage", garbage, false, std::nullopt},
        {"NUL bytes", std::string(200, '\0'), false, allNul},
        {"no \"=\"", "text without equals", false, std::nullopt},
        {"only \"=\"", std::string(200, '='), false, allEquals},
        {"50 MB of text", std::string(50 * 1024 * 1024, '='), false, allEquals},
        {"a folder where the file should be", "", true, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (c.asFolder)
            dir.makeFolder(SettingsFile::kFileName);
        else
            dir.write(SettingsFile::kFileName, c.bytes);
        const std::optional<SettingsRecord> read = SettingsFile::load(dir.file(SettingsFile::kFileName));
        EXPECT_EQ(read.has_value(), !c.asFolder);
        if (read && c.expected) {
            EXPECT_EQ(*read, *c.expected);
        }
    }
}

} // namespace
