#include "core/catalogue/NewWorkspace.h"

#include "core/catalogue/CatalogueFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using marlit::CatalogueFile;
using marlit::CatalogueTemplate;
using marlit::NewWorkspace;
using marlit::test::TempDir;

namespace {

TEST(NewWorkspace, OnlyBlankOrNoSystemsInFourReadableFilesMakeANewWorkspace)
{
    TempDir dir;
    // A first start: the four files created, and said to be.
    EXPECT_EQ(CatalogueFile::ensureCatalogueFiles(dir.path()), (std::array<bool, 4>{true, true, true, true}));
    EXPECT_TRUE(NewWorkspace::holdsOnlyBlankSystems(dir.path()));

    // Emptied tabs and doubled blank records are still nobody's systems.
    dir.write("classic.ini", "");
    dir.write("console.ini", std::string(CatalogueTemplate) + std::string(CatalogueTemplate));
    EXPECT_TRUE(NewWorkspace::holdsOnlyBlankSystems(dir.path()));

    // One value anywhere is a system of the user's; so may be a file that cannot be read.
    dir.write("handheld.ini", "NAME = \r\nDESC = \r\nROMDIR = /roms/gb\r\n");
    EXPECT_FALSE(NewWorkspace::holdsOnlyBlankSystems(dir.path()));
    dir.write("handheld.ini", CatalogueTemplate);
    ASSERT_EQ(unlink(dir.file("computer.ini").c_str()), 0);
    dir.makeFolder("computer.ini");
    EXPECT_FALSE(NewWorkspace::holdsOnlyBlankSystems(dir.path()));

    // Once offered, the note says so; nothing else was written.
    EXPECT_FALSE(NewWorkspace::wasOffered(dir.path()));
    ASSERT_TRUE(NewWorkspace::markOffered(dir.path()).ok());
    EXPECT_TRUE(NewWorkspace::wasOffered(dir.path()));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"classic.ini", "computer.ini", "console.ini", "handheld.ini",
                                                     "marlit.offered"}));
    EXPECT_NE(dir.read("marlit.offered").find("Delete this file"), std::string::npos);
}

} // namespace
