#include "core/fs/SafeFile.h"

#include "ForkedChild.h"
#include "TempDir.h"
#include "core/fs/FileDescriptor.h"

#include <cerrno>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using marlit::FileDescriptor;
using marlit::FileStamp;
using marlit::SafeFile;
using marlit::test::runAsUnprivilegedUser;
using marlit::test::runInChild;
using marlit::test::TempDir;

namespace {

mode_t modeOf(const std::string &path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(SafeFileRead, GivesTheBytesOrNothing)
{
    TempDir dir;
    const std::string bytes("a\0b\r\nc\xff", 7);
    dir.write("bytes", bytes);
    dir.write("empty", "");
    dir.makeFolder("folder");
    dir.write("large", std::string(3 * 1024 * 1024 + 17, 'x'));

    EXPECT_EQ(SafeFile::readAll(dir.file("bytes")), bytes);
    EXPECT_EQ(SafeFile::readAll(dir.file("empty")), std::string());
    EXPECT_EQ(SafeFile::readAll(dir.file("large")).value_or("").size(), 3u * 1024 * 1024 + 17);
    EXPECT_EQ(SafeFile::readAll(dir.file("missing")), std::nullopt);
    EXPECT_EQ(SafeFile::readAll(dir.file("folder")), std::nullopt);
    EXPECT_EQ(SafeFile::readAll(""), std::nullopt);
}

TEST(SafeFileRead, UnreadableFileGivesNothing)
{
    TempDir dir;
    dir.write("secret", "x");
    ASSERT_EQ(chmod(dir.file("secret").c_str(), 0), 0);
    EXPECT_EQ(
        runAsUnprivilegedUser(dir.path(), [&] { return SafeFile::readAll(dir.file("secret")) ? "read" : "nothing"; }),
        "nothing");
}

TEST(SafeFileWrite, NewFileGetsDefaultModeAndReplacedFileKeepsItsMode)
{
    TempDir dir;
    const mode_t mask = umask(0);
    umask(mask);

    ASSERT_TRUE(SafeFile::writeAll(dir.file("new"), "first").ok());
    EXPECT_EQ(dir.read("new"), "first");
    EXPECT_EQ(modeOf(dir.file("new")), 0666u & ~mask);

    ASSERT_EQ(chmod(dir.file("new").c_str(), 0640), 0);
    ASSERT_TRUE(SafeFile::writeAll(dir.file("new"), std::string("second\0", 7)).ok());
    EXPECT_EQ(dir.read("new"), std::string("second\0", 7));
    EXPECT_EQ(modeOf(dir.file("new")), 0640u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"new"});
}

TEST(SafeFileWrite, ReadOnlyFileIsRefusedEvenForRoot)
{
    TempDir dir;
    for (mode_t readOnly : {0444, 0400, 0}) {
        SCOPED_TRACE(readOnly);
        dir.write("locked", "old");
        ASSERT_EQ(chmod(dir.file("locked").c_str(), readOnly), 0);
        // The reason reaches the caller, who shows it to the user.
        EXPECT_EQ(SafeFile::writeAll(dir.file("locked"), "new").error(), EACCES);
        ASSERT_EQ(chmod(dir.file("locked").c_str(), 0600), 0);
        EXPECT_EQ(dir.read("locked"), "old");
        EXPECT_EQ(dir.names(), std::vector<std::string>{"locked"});
    }
}

TEST(SafeFileWrite, FailureLeavesEverythingAsItWas)
{
    TempDir dir;
    dir.makeFolder("target");
    EXPECT_EQ(SafeFile::writeAll(dir.file("target"), "x").error(), EISDIR); // a folder is not replaced
    EXPECT_EQ(SafeFile::writeAll(dir.file("missing/file"), "x").error(), ENOENT);
    EXPECT_FALSE(SafeFile::writeAll("", "x").ok());
    EXPECT_EQ(dir.names(), std::vector<std::string>{"target"});
}

TEST(SafeFileWrite, ReadOnlyFolderLeavesThePreviousFileIntact)
{
    TempDir dir;
    dir.write("locked/file", "old");
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0555), 0);
    EXPECT_EQ(
        runAsUnprivilegedUser(dir.path(), [&] { return SafeFile::writeAll(dir.file("locked/file"), "new").reason(); }),
        std::strerror(EACCES));
    EXPECT_EQ(dir.read("locked/file"), "old");
    EXPECT_EQ(dir.names("locked"), std::vector<std::string>{"file"});
}

TEST(SafeFileWrite, NextWriteRemovesWhatAKilledWriterLeftButNoWritersTemporaryAtWork)
{
    TempDir dir;
    dir.write(".marlit-Ab12Cd", "left by a killed writer");
    dir.write(".marlit-Zz9999", "a writer at work");
    dir.write(".marlit-notes", "not ours: too short");
    dir.write(".marlit-Ab12Cd.txt", "not ours: too long");
    dir.makeFolder(".marlit-folder");
    dir.write("elsewhere", "x");
    ASSERT_EQ(symlink(dir.file("elsewhere").c_str(), dir.file(".marlit-Link00").c_str()), 0);
    const FileDescriptor atWork(open(dir.file(".marlit-Zz9999").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(flock(atWork.get(), LOCK_EX), 0);

    ASSERT_TRUE(SafeFile::writeAll(dir.file("target"), "new").ok());
    EXPECT_EQ(dir.names(), (std::vector<std::string>{".marlit-Ab12Cd.txt", ".marlit-Link00", ".marlit-Zz9999",
                                                     ".marlit-folder", ".marlit-notes", "elsewhere", "target"}));
}

TEST(SafeFileWrite, WritersInOneFolderNeverTakeEachOthersTemporary)
{
    // Two processes write in one folder as fast as they can; each write first removes what it
    // takes for stale temporaries. A temporary taken from a writer at work fails its rename.
    TempDir dir;
    constexpr int kWrites = 300;
    const auto writeMany = [&](const std::string &name) {
        const std::string bytes(4096, name[0]);
        for (int i = 0; i < kWrites; ++i) {
            const marlit::WriteResult result = SafeFile::writeAll(dir.file(name), bytes);
            if (!result.ok())
                return "write " + std::to_string(i) + ": " + result.reason();
        }
        return std::string("all written");
    };
    marlit::test::ForkedChild other([&] { return writeMany("b.ini"); });
    EXPECT_EQ(writeMany("a.ini"), "all written");
    EXPECT_EQ(other.result(), "all written");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"a.ini", "b.ini"}));
}

TEST(SafeFileWrite, SymbolicLinkWritesTheFileItPointsTo)
{
    TempDir dir;
    dir.write("real/settings", "old");
    ASSERT_EQ(symlink(dir.file("real/settings").c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("real/nothing").c_str(), dir.file("dangling").c_str()), 0);

    ASSERT_TRUE(SafeFile::writeAll(dir.file("link"), "new").ok());
    EXPECT_EQ(dir.read("real/settings"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link")));

    EXPECT_FALSE(SafeFile::writeAll(dir.file("dangling"), "new").ok());
    EXPECT_FALSE(dir.exists("real/nothing"));
}

// A conditional write replaces only the state that was read. A replace by rename, a write in
// place, a touch that moves the time by one nanosecond, a removal, and a file made where there
// was none are each left exactly as they are, with no temporary behind.
TEST(SafeFileConditionalWrite, ReplacesOnlyTheStateThatWasRead)
{
    TempDir dir;
    const std::string path = dir.file("cat.ini");
    const auto makeChange = [&](int which) {
        if (which == 0) {
            dir.write("edited", "replaced");
            ASSERT_EQ(std::rename(dir.file("edited").c_str(), path.c_str()), 0);
        } else if (which == 1) {
            dir.write("cat.ini", "edited in place");
        } else if (which == 2) {
            const long long ns = FileStamp::of(path)->modifiedNs + 1;
            const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1'000'000'000, ns % 1'000'000'000}};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        } else {
            ASSERT_EQ(unlink(path.c_str()), 0);
        }
    };
    for (int which = 0; which < 4; ++which) {
        SCOPED_TRACE(which);
        dir.write("cat.ini", "as read");
        const std::optional<marlit::StampedBytes> read = SafeFile::readStamped(path);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->bytes, "as read");
        EXPECT_EQ(read->stamp, FileStamp::of(path));
        makeChange(which);
        const std::string changed = dir.exists("cat.ini") ? dir.read("cat.ini") : "(none)";
        EXPECT_TRUE(SafeFile::writeAllIfUnchanged(path, "mine", read->stamp).wasChangedMeanwhile());
        EXPECT_EQ(dir.exists("cat.ini") ? dir.read("cat.ini") : "(none)", changed);
        EXPECT_EQ(dir.names(), which == 3 ? std::vector<std::string>{} : std::vector<std::string>{"cat.ini"});
    }
    // With no file read, one is made only while there is none.
    ASSERT_TRUE(SafeFile::writeAllIfUnchanged(path, "new", std::nullopt).ok());
    EXPECT_EQ(dir.read("cat.ini"), "new");
    EXPECT_TRUE(SafeFile::writeAllIfUnchanged(path, "mine", std::nullopt).wasChangedMeanwhile());
    // Unchanged, it is replaced, keeping its mode.
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    ASSERT_TRUE(SafeFile::writeAllIfUnchanged(path, "replaced", FileStamp::of(path)).ok());
    EXPECT_EQ(dir.read("cat.ini"), "replaced");
    EXPECT_EQ(modeOf(path), 0604u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"cat.ini"});
    // A folder put in the file's place is said as a folder, not as a change by another program.
    const std::optional<FileStamp> before = FileStamp::of(path);
    ASSERT_EQ(unlink(path.c_str()), 0);
    dir.makeFolder("cat.ini");
    const marlit::WriteResult overFolder = SafeFile::writeAllIfUnchanged(path, "mine", before);
    EXPECT_FALSE(overFolder.wasChangedMeanwhile());
    EXPECT_EQ(overFolder.reason(), "Is a directory");
}

// An editor in another process saves by rename at random moments while Marlit writes
// conditionally as fast as it can. Before each save the editor finds its own last version, or
// Marlit's write of that version; a write made over a version Marlit never read would have
// thrown the editor's save away. A suspect find is looked at again a moment later, since a
// replace that its check undoes shows the other file for a few microseconds.
TEST(SafeFileConditionalWrite, AnEditorRacingTheWritesNeverLosesASave)
{
    TempDir dir;
    const std::string path = dir.file("cat.ini");
    dir.write("cat.ini", "editor 0");
    marlit::test::ForkedChild editor([&] {
        int lost = 0;
        unsigned int random = 12345;
        for (int version = 0; !dir.exists("stop"); ++version) {
            const std::string own = "editor " + std::to_string(version);
            const auto intact = [&] {
                const std::string found = dir.read("cat.ini");
                return found == own || found == "marlit on " + own;
            };
            if (!intact()) {
                usleep(20'000);
                lost += intact() ? 0 : 1;
            }
            dir.write("editor.tmp", "editor " + std::to_string(version + 1));
            std::rename(dir.file("editor.tmp").c_str(), path.c_str());
            random = random * 1103515245u + 12345u;
            usleep(1000 + (random >> 8) % 15'000);
        }
        return "lost " + std::to_string(lost);
    });
    struct StopEditor // before the editor is waited for, however the test ends
    {
        const TempDir &dir;
        ~StopEditor() { dir.write("stop"); }
    } stopEditor{dir};
    int written = 0;
    int refused = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((written < 40 || refused < 40) && std::chrono::steady_clock::now() < deadline) {
        const std::optional<marlit::StampedBytes> read = SafeFile::readStamped(path);
        ASSERT_TRUE(read);
        const std::string base = read->bytes.starts_with("marlit on ") ? read->bytes.substr(10) : read->bytes;
        const marlit::WriteResult result = SafeFile::writeAllIfUnchanged(path, "marlit on " + base, read->stamp);
        ASSERT_TRUE(result.ok() || result.wasChangedMeanwhile()) << result.reason();
        ++(result.ok() ? written : refused);
    }
    dir.write("stop");
    EXPECT_EQ(editor.result(), "lost 0");
    EXPECT_GE(written, 40);
    EXPECT_GE(refused, 40);
}

TEST(SafeFileCreate, CreatesOnlyWhereNothingIsYet)
{
    TempDir dir;
    EXPECT_TRUE(SafeFile::createNew(dir.file("new.ini"), "template").ok());
    EXPECT_EQ(dir.read("new.ini"), "template");

    // An existing file, even an empty one, and a folder in the way are left alone.
    dir.write("empty.ini", "");
    EXPECT_FALSE(SafeFile::createNew(dir.file("empty.ini"), "template").ok());
    EXPECT_EQ(dir.read("empty.ini"), "");
    dir.makeFolder("folder.ini");
    EXPECT_FALSE(SafeFile::createNew(dir.file("folder.ini"), "template").ok());
    EXPECT_FALSE(SafeFile::createNew(dir.file("missing/inner.ini"), "template").ok());
}

} // namespace
