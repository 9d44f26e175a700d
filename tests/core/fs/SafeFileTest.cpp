#include "core/fs/SafeFile.h"

#include "TempDir.h"

#include <cerrno>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using marlit::SafeFile;
using marlit::test::TempDir;

namespace {

mode_t modeOf(const std::string &path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Every name in the folder: a failed write must not leave its temporary file behind.
std::vector<std::string> namesIn(const std::string &folder)
{
    std::vector<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files without read permission";
    TempDir dir;
    dir.write("secret", "x");
    ASSERT_EQ(chmod(dir.file("secret").c_str(), 0), 0);
    EXPECT_EQ(SafeFile::readAll(dir.file("secret")), std::nullopt);
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
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"new"});
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
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"locked"});
    }
}

TEST(SafeFileWrite, FailureLeavesEverythingAsItWas)
{
    TempDir dir;
    dir.makeFolder("target");
    EXPECT_EQ(SafeFile::writeAll(dir.file("target"), "x").error(), EISDIR); // a folder is not replaced
    EXPECT_EQ(SafeFile::writeAll(dir.file("missing/file"), "x").error(), ENOENT);
    EXPECT_FALSE(SafeFile::writeAll("", "x").ok());
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"target"});
}

TEST(SafeFileWrite, ReadOnlyFolderLeavesThePreviousFileIntact)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    dir.write("locked/file", "old");
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0555), 0);
    EXPECT_FALSE(SafeFile::writeAll(dir.file("locked/file"), "new").ok());
    EXPECT_EQ(dir.read("locked/file"), "old");
    EXPECT_EQ(namesIn(dir.file("locked")), std::vector<std::string>{"file"});
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
