#include "core/browse/FolderTreeScanner.h"
#include "core/browse/RomFolderPath.h"

#include "ForkedChild.h"
#include "TempDir.h"
#include "core/browse/RomListing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using marlit::FolderNode;
using marlit::FolderTreeScanner;
using marlit::RomFolderPath;
using marlit::RomListing;
using marlit::test::runAsUnprivilegedUser;
using marlit::test::runInChild;
using marlit::test::TempDir;

namespace {

// The tree as one line per folder ("a/b"), depth first, so a failure shows the whole shape.
void flatten(const std::vector<FolderNode> &nodes, const std::string &prefix, std::vector<std::string> &out)
{
    for (const FolderNode &node : nodes) {
        out.push_back(prefix + node.name);
        flatten(node.children, prefix + node.name + "/", out);
    }
}

std::vector<std::string> scanned(const std::string &root)
{
    std::vector<std::string> out;
    flatten(FolderTreeScanner::scan(root).folders, "", out);
    return out;
}

void link(const TempDir &dir, const std::string &target, const std::string &relative)
{
    ASSERT_EQ(symlink(target.c_str(), dir.file(relative).c_str()), 0) << relative;
}

using Lines = std::vector<std::string>;

TEST(FolderTreeScannerTest, OrdersFoldersIgnoringCaseAndLeavesFilesOut)
{
    TempDir dir;
    for (const char *name : {"b", "A", "c"})
        dir.makeFolder(name);
    dir.write("b/game.zip");
    dir.write("a.zip");
    EXPECT_EQ(scanned(dir.path()), (Lines{"A", "b", "c"}));
}

TEST(FolderTreeScannerTest, HidesDotFoldersAndTheDotEntries)
{
    TempDir dir;
    dir.makeFolder(".svn/inner");
    dir.makeFolder(".config");
    dir.makeFolder("Games");
    EXPECT_EQ(scanned(dir.path()), (Lines{"Games"}));
}

TEST(FolderTreeScannerTest, ReadsEveryLevel)
{
    TempDir dir;
    dir.makeFolder("Nintendo/Europe/Disk 2");
    dir.makeFolder("Nintendo/Europe/disk 1");
    dir.makeFolder("Nintendo/USA");
    dir.makeFolder("Sega");
    dir.makeFolder("ROMS/inner"); // a folder named like the tree's root is an ordinary folder
    EXPECT_EQ(scanned(dir.path()), (Lines{"Nintendo", "Nintendo/Europe", "Nintendo/Europe/disk 1",
                                          "Nintendo/Europe/Disk 2", "Nintendo/USA", "ROMS", "ROMS/inner", "Sega"}));
}

TEST(FolderTreeScannerTest, FollowsLinksToFoldersButNotToFiles)
{
    TempDir dir;
    dir.makeFolder("Real/Inner");
    dir.write("game.zip");
    link(dir, dir.file("Real"), "Linked");
    link(dir, dir.file("game.zip"), "FileLink");
    link(dir, dir.file("missing"), "Broken");
    dir.makeFolder(".elsewhere/Deeper"); // hidden: reached through its link only
    link(dir, dir.path() + ".elsewhere", "Outside");
    // The real folder keeps its children although a link to it comes first in name order.
    EXPECT_EQ(scanned(dir.path()), (Lines{"Linked", "Outside", "Outside/Deeper", "Real", "Real/Inner"}));
}

TEST(FolderTreeScannerTest, EveryRealFolderIsReadOnceWhereverItIsReached)
{
    TempDir dir;
    dir.makeFolder("A/B");
    link(dir, dir.path(), "A/B/up");  // to the root
    link(dir, "..", "A/B/parent");    // to A, relative
    link(dir, ".", "A/self");         // to the folder itself
    link(dir, dir.file("A"), "Side"); // a second way to A
    EXPECT_EQ(scanned(dir.path()), (Lines{"A", "A/B", "A/B/parent", "A/B/up", "A/self", "Side"}));

    // Two links on each of 21 levels, each to the level below: 3^21 paths, 21 folders.
    std::string level;
    for (int depth = 1; depth <= 21; ++depth) {
        level += "L" + std::to_string(depth) + "/";
        dir.makeFolder("chain/" + level);
    }
    level.clear();
    for (int depth = 1; depth < 21; ++depth) {
        level += "L" + std::to_string(depth) + "/";
        for (const char *name : {"a", "b"})
            link(dir, "L" + std::to_string(depth + 1), "chain/" + level + name);
    }
    const marlit::FolderTree chain = FolderTreeScanner::scan(dir.file("chain/"));
    std::vector<std::string> lines;
    flatten(chain.folders, "", lines);
    EXPECT_EQ(lines.size(), std::size_t(21 + 2 * 20));
    EXPECT_FALSE(chain.cut);
}

TEST(FolderTreeScannerTest, ALinkToTheRootIsCutAtTheBoundKeepingTheUpperLevels)
{
    TempDir dir;
    for (const char *name : {"A", "B", "C"})
        for (int i = 0; i < 40; ++i)
            dir.makeFolder(std::string(name) + "/" + std::to_string(i));
    link(dir, "/", "Everything");
    FolderTreeScanner::Options options;
    options.maxFolders = 100;
    const marlit::FolderTree tree = FolderTreeScanner::scan(dir.path(), options);
    std::vector<std::string> lines;
    flatten(tree.folders, "", lines);
    EXPECT_TRUE(tree.cut);
    EXPECT_EQ(lines.size(), std::size_t(100));
    // Level by level: all four folders of the first level, then the real ones' children.
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 2), (Lines{"A", "A/0"}));
    EXPECT_EQ(tree.folders.size(), std::size_t(4));
    EXPECT_EQ(tree.folders[2].children.size(), std::size_t(16)); // C: what the bound left
    EXPECT_TRUE(tree.folders[3].children.empty());               // the link: no room left
}

TEST(FolderTreeScannerTest, RootEntriesReadBeforehandGiveTheSameTree)
{
    TempDir dir;
    dir.makeFolder("A/B");
    dir.makeFolder(".hidden");
    dir.makeFolder("c");
    dir.write("rom.zip");
    link(dir, dir.path(), "A/B/up");
    link(dir, dir.file("A"), "Side");
    std::vector<marlit::DirectoryEntry> entries;
    ASSERT_TRUE(marlit::DirectoryReader::list(dir.path(), entries));
    std::vector<std::string> fromEntries;
    flatten(FolderTreeScanner::scan(dir.path(), entries).folders, "", fromEntries);
    EXPECT_EQ(fromEntries, scanned(dir.path()));
}

TEST(FolderTreeScannerTest, UnreadableFolderHasNoChildren)
{
    TempDir dir;
    dir.makeFolder("Locked/Inner");
    dir.makeFolder("Open");
    ASSERT_EQ(chmod(dir.file("Locked").c_str(), 0), 0);
    EXPECT_EQ(runAsUnprivilegedUser(dir.path(),
                                    [&] {
                                        std::string lines;
                                        for (const std::string &line : scanned(dir.path()))
                                            lines += line + ';';
                                        return lines;
                                    }),
              "Locked;Open;");
}

TEST(FolderTreeScannerTest, HostileFolderContentIsReadWithoutHangingOrCrashing)
{
    TempDir dir;
    const std::string longName(255, 'n'); // the longest name a folder entry can hold
    const std::string longFile(255, 'r');
    dir.write(longFile);
    dir.makeFolder(std::string(250, 'f') + ".dir");
    ASSERT_EQ(mkfifo(dir.file("fifo.nes").c_str(), 0644), 0);
    // 300 folders deep with long names: far beyond PATH_MAX, so made one below the other.
    int parent = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int depth = 0; depth < 300; ++depth) {
        ASSERT_EQ(mkdirat(parent, longName.c_str(), 0755), 0) << depth;
        const int child = openat(parent, longName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(parent);
        parent = child;
    }
    close(parent);

    // In a child, so that a read that blocks (a FIFO opened for reading waits for a writer)
    // ends in the alarm instead of in a test that never returns.
    const std::optional<std::string> result = runInChild([&] {
        alarm(20);
        std::size_t depth = 0;
        const std::vector<FolderNode> tree = FolderTreeScanner::scan(dir.path()).folders;
        for (const std::vector<FolderNode> *level = &tree; !level->empty(); level = &level->back().children)
            ++depth;
        std::string text = std::to_string(tree.size()) + " folders, " + std::to_string(depth) + " deep; files:";
        for (const std::string &name : RomListing::list(dir.path(), marlit::RomSearch()))
            text += ' ' + (name == longFile ? "<255 bytes>" : name);
        return text;
    });
    // The walk stops at a depth no collection reaches, and the FIFO is listed as a name.
    EXPECT_EQ(result, "2 folders, 256 deep; files: fifo.nes <255 bytes>");
}

TEST(FolderTreeScannerTest, MissingOrFileRootGivesNoFolders)
{
    TempDir dir;
    dir.write("file.zip");
    EXPECT_TRUE(scanned(dir.file("missing/")).empty());
    EXPECT_TRUE(scanned(dir.file("file.zip/")).empty());
}

TEST(FolderTreeScannerTest, EmptyRootReadsTheWorkingDirectory)
{
    TempDir dir;
    dir.makeFolder("Here");
    char *previous = getcwd(nullptr, 0);
    ASSERT_NE(previous, nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const Lines lines = scanned("");
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
    EXPECT_EQ(lines, (Lines{"Here"}));
}

TEST(RomFolderPathTest, JoinsTheTreePathToTheRomRoot)
{
    EXPECT_EQ(RomFolderPath::fromTreePath("/roms/", {"Nintendo", "Europe"}), "/roms/Nintendo/Europe/");
    EXPECT_EQ(RomFolderPath::fromTreePath("/roms/", {}), "/roms/");
    EXPECT_EQ(RomFolderPath::fromTreePath("", {"Sub"}), "Sub/");
    EXPECT_EQ(RomFolderPath::fromTreePath("/roms/", {"ROMS"}), "/roms/ROMS/");
}

} // namespace

// The bound counts every folder shown, at any depth, exactly: a tree of as many folders as the
// bound is whole and not said to be cut; one folder more is cut to the bound, level by level,
// wherever the extra folder is; the same when the root's entries were read beforehand.
TEST(FolderTreeScannerTest, TheBoundHoldsExactlyAtEveryDepth)
{
    struct Case
    {
        const char *shape;
        std::vector<std::string> folders; // made in this order
        std::size_t bound;
        Lines shown; // depth first
        bool cut;
    };
    const std::vector<std::string> flat{"a", "b", "c"};
    const std::vector<std::string> nested{"a", "a/1", "a/2", "b", "b/1", "b/1/x", "b/1/y"};
    const std::vector<std::string> chain{"1", "1/2", "1/3", "1/2/4", "1/2/4/5"};
    const Case cases[] = {
        {"flat, at the bound", flat, 3, {"a", "b", "c"}, false},
        {"flat, over it", flat, 2, {"a", "b"}, true},
        {"nested, at the bound", nested, 7, {"a", "a/1", "a/2", "b", "b/1", "b/1/x", "b/1/y"}, false},
        {"nested, over it in the deepest level", nested, 6, {"a", "a/1", "a/2", "b", "b/1", "b/1/x"}, true},
        {"nested, over it in the second level", nested, 4, {"a", "a/1", "a/2", "b"}, true},
        {"nested, the first level only", nested, 2, {"a", "b"}, true},
        {"a chain, at the bound", chain, 5, {"1", "1/2", "1/2/4", "1/2/4/5", "1/3"}, false},
        {"a chain, over it at its end", chain, 4, {"1", "1/2", "1/2/4", "1/3"}, true},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.shape);
        TempDir dir;
        for (const std::string &folder : test.folders)
            dir.makeFolder(folder);
        dir.write("rom.zip");
        FolderTreeScanner::Options options;
        options.maxFolders = test.bound;
        std::vector<marlit::DirectoryEntry> entries;
        ASSERT_TRUE(marlit::DirectoryReader::list(dir.path(), entries));
        for (const marlit::FolderTree &tree :
             {FolderTreeScanner::scan(dir.path(), options), FolderTreeScanner::scan(dir.path(), entries, options)}) {
            Lines lines;
            flatten(tree.folders, "", lines);
            EXPECT_EQ(lines, test.shown);
            EXPECT_EQ(tree.cut, test.cut);
        }
    }
}
