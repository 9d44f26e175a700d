#include "core/fs/SafeFile.h"

#include "ForkedChild.h"
#include "TempDir.h"
#include "core/fs/FileDescriptor.h"

#include <cerrno>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using marlit::FileDescriptor;
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
