#include "core/fs/WorkingDirectory.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

using marlit::currentDirectory;
using marlit::WorkingDirectoryKeeper;
using marlit::test::TempDir;

namespace {

// A dialog that moves the process elsewhere, while the folder it was in is renamed: the keeper
// still brings the process back into that folder, under its new name.
TEST(WorkingDirectoryKeeper, ReturnsToTheFolderItWasInEvenWhenRenamed)
{
    TempDir dir;
    dir.makeFolder("work");
    dir.makeFolder("elsewhere");
    const std::optional<std::string> before = currentDirectory();
    ASSERT_TRUE(before);
    ASSERT_EQ(::chdir(dir.file("work").c_str()), 0);
    {
        WorkingDirectoryKeeper keeper;
        ASSERT_EQ(::chdir(dir.file("elsewhere").c_str()), 0);
        ASSERT_EQ(std::rename(dir.file("work").c_str(), dir.file("renamed").c_str()), 0);
    }
    EXPECT_EQ(currentDirectory(), dir.file("renamed"));
    ASSERT_EQ(::chdir(before->c_str()), 0);
}

} // namespace
