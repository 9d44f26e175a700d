#include "core/browse/RomListing.h"
#include "core/browse/GameFiles.h"
#include "core/browse/GameTitle.h"
#include "core/browse/TitleOrder.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <unistd.h>

using marlit::FilterMode;
using marlit::RomListing;
using marlit::RomSearch;
using marlit::test::TempDir;

namespace {

using Names = std::vector<std::string>;

// The search row after the user picks a mode and, when applied, applies a text.
RomSearch searchOf(FilterMode mode, bool applied, const std::string &text = ".")
{
    RomSearch search;
    if (mode == FilterMode::FilterOut)
        search.toggleMode();
    if (applied)
        search.apply(text);
    return search;
}

// One folder with the names the search and filter cases need, a sub-folder and links.
class RomListingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *name : {"Super Mario (U).zip", "MARIO.NES", "Zelda.zip", "Game (J).zip", "Game (j).zip",
                                 "abc.zip", "a?c.zip", "README", ".hidden"})
            dir.write(name);
        dir.write("Sub/inside.zip");
        dir.makeFolder("Sub.dir");
        ASSERT_EQ(symlink(dir.file("Sub").c_str(), dir.file("SubLink").c_str()), 0);
        ASSERT_EQ(symlink(dir.file("abc.zip").c_str(), dir.file("abc link.zip").c_str()), 0);
    }

    TempDir dir;
};

TEST_F(RomListingTest, ListsTheFilesOfEachSearchState)
{
    struct Case
    {
        const char *what;
        FilterMode mode;
        bool applied;
        std::string text;
        Names expected;
    };
    // A dot-file never shows; names order by title ("abc" before "abc link").
    const Names all = {"a?c.zip",   "abc.zip", "abc link.zip",        "Game (J).zip", "Game (j).zip",
                       "MARIO.NES", "README",  "Super Mario (U).zip", "Zelda.zip"};
    const Case cases[] = {
        {"initial state", FilterMode::SearchFor, false, ".", all},
        {"filter mode, nothing applied", FilterMode::FilterOut, false, ".", all},
        {"search mario", FilterMode::SearchFor, true, "mario", {"MARIO.NES", "Super Mario (U).zip"}},
        {"search (J) folds case", FilterMode::SearchFor, true, "(J)", {"Game (J).zip", "Game (j).zip"}},
        {"filter (J) keeps (j)",
         FilterMode::FilterOut,
         true,
         "(J)",
         {"a?c.zip", "abc.zip", "abc link.zip", "Game (j).zip", "MARIO.NES", "README", "Super Mario (U).zip",
          "Zelda.zip"}},
        {"search empty text", FilterMode::SearchFor, true, "", all},
        {"filter empty text", FilterMode::FilterOut, true, "", {}},
        {"filter dot", FilterMode::FilterOut, true, ".", {"README"}},
        {"search a?c is a wildcard", FilterMode::SearchFor, true, "a?c", {"a?c.zip", "abc.zip", "abc link.zip"}},
        {"filter a?c is literal",
         FilterMode::FilterOut,
         true,
         "a?c",
         {"abc.zip", "abc link.zip", "Game (J).zip", "Game (j).zip", "MARIO.NES", "README", "Super Mario (U).zip",
          "Zelda.zip"}},
        {"filter is case-sensitive",
         FilterMode::FilterOut,
         true,
         "Mario",
         {"a?c.zip", "abc.zip", "abc link.zip", "Game (J).zip", "Game (j).zip", "MARIO.NES", "README", "Zelda.zip"}},
        {"search for a folder name", FilterMode::SearchFor, true, "Sub", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RomListing::list(dir.path(), searchOf(c.mode, c.applied, c.text)), c.expected) << c.what;
}

TEST_F(RomListingTest, MissingFolderGivesAnEmptyList)
{
    EXPECT_TRUE(RomListing::list(dir.file("missing/"), RomSearch{}).empty());
    EXPECT_TRUE(RomListing::list(dir.file("README/"), searchOf(FilterMode::FilterOut, false)).empty());
}

TEST_F(RomListingTest, EmptyFolderPathListsTheWorkingDirectory)
{
    char *previous = getcwd(nullptr, 0);
    ASSERT_NE(previous, nullptr);
    ASSERT_EQ(chdir(dir.file("Sub/").c_str()), 0);
    const Names names = RomListing::list("", RomSearch{});
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
    EXPECT_EQ(names, (Names{"inside.zip"}));
}

// The row's states as the buttons reach them: a mode change keeps an applied text, and
// "Clear" gives back the pattern that takes every name.
TEST(RomSearchTest, ButtonsLeadThroughTheStates)
{
    RomSearch search;
    EXPECT_EQ(search.pattern(), "*.*");
    search.apply("mario");
    EXPECT_EQ(search.pattern(), "*mario*");
    EXPECT_TRUE(search.keeps("Super Mario"));
    search.toggleMode();
    EXPECT_EQ(search.mode(), FilterMode::FilterOut);
    EXPECT_EQ(search.pattern(), "*.*");
    EXPECT_FALSE(search.keeps("mario.nes"));
    EXPECT_TRUE(search.keeps("Mario.nes"));
    search.clear();
    EXPECT_FALSE(search.applied());
    EXPECT_TRUE(search.keeps("mario.nes"));
    search.toggleMode();
    EXPECT_EQ(search, RomSearch{});
    search.apply("");
    EXPECT_EQ(search.pattern(), "**");
}

} // namespace

TEST(GameTitleTest, SplitsTheTitleFromTheTagsOfTheNamingConventions)
{
    struct Case
    {
        const char *name;
        const char *title;
        const char *tags;
    };
    const Case cases[] = {
        {"Super Mario Bros. (USA) (Rev 1).nes", "Super Mario Bros.", "(USA) (Rev 1)"},
        {"Sonic the Hedgehog (E) [!].md", "Sonic the Hedgehog", "(E) [!]"},
        {"Final Fantasy VII (USA) (Disc 2).cue", "Final Fantasy VII", "(USA) (Disc 2)"},
        {"Zelda.zip", "Zelda", ""},
        {"Mega Man (Beta)", "Mega Man", "(Beta)"},                   // no extension
        {"Dr. Mario (Japan, USA).nes", "Dr. Mario", "(Japan, USA)"}, // a dot in the title
        {"Game (1998) Deluxe.zip", "Game (1998) Deluxe", ""},        // words after a bracket: all title
        {"(Demo).nes", "(Demo)", ""},                                // all tags: kept as the title
        {"Half (open.bin", "Half (open", ""},
        {"archive.tar.gz", "archive.tar", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const marlit::GameTitle title = marlit::GameTitle::of(c.name);
        EXPECT_EQ(title.title, c.title);
        EXPECT_EQ(title.tags, c.tags);
    }
}

// What a sheet or list hides, guessed from the names alone and then read from it: the guess must
// hide the usual tracks and discs, and the sheets' word must win where they differ.
TEST(GameFilesTest, GuessesWhatSheetsHideAndTheSheetsCorrectTheGuess)
{
    struct Case
    {
        const char *what;
        std::vector<std::pair<std::string, std::string>> files; // name, bytes
        Names guessed;
        Names read;
    };
    const auto cue = [](const std::string &track) { return "FILE \"" + track + "\" BINARY\r\n"; };
    const Case cases[] = {
        {"a track of the sheet's name, in another case",
         {{"Game.cue", cue("GAME.BIN")}, {"GAME.BIN", ""}},
         {"Game.cue"},
         {"Game.cue"}},
        {"numbered tracks",
         {{"Game (USA).cue", cue("Game (USA) (Track 1).bin") + cue("Game (USA) (Track 2).wav")},
          {"Game (USA) (Track 1).bin", ""},
          {"Game (USA) (Track 2).wav", ""},
          {"Game (USA) (Track 2).srm", ""}},
         {"Game (USA) (Track 2).srm", "Game (USA).cue"},
         {"Game (USA) (Track 2).srm", "Game (USA).cue"}},
        {"the discs of a list, and their tracks",
         {{"Saga.m3u", "Saga (Disc 1).cue\nSaga (Disc 2).cue\n"},
          {"Saga (Disc 1).cue", cue("Saga (Disc 1).bin")},
          {"Saga (Disc 1).bin", ""},
          {"Saga (Disc 2).cue", cue("Saga (Disc 2).bin")},
          {"Saga (Disc 2).bin", ""}},
         {"Saga.m3u"},
         {"Saga.m3u"}},
        {"a track named unlike its sheet shows until the sheet is read",
         {{"Odd.cue", cue("track01.bin")}, {"track01.bin", ""}},
         {"Odd.cue", "track01.bin"},
         {"Odd.cue"}},
        {"a file of the sheet's name that the sheet does not name shows once it is read",
         {{"Game.cue", cue("Other.bin")}, {"Game.bin", ""}, {"Other.bin", ""}},
         {"Game.cue", "Other.bin"},
         {"Game.bin", "Game.cue"}},
        {"discs without a list show, their tracks hidden; a sheet's ending in capitals counts",
         {{"Saga (Disc 1).CUE", cue("Saga (Disc 1).bin")},
          {"Saga (Disc 1).bin", ""},
          {"Saga (Disc 2).cue", cue("Saga (Disc 2).bin")},
          {"Saga (Disc 2).bin", ""}},
         {"Saga (Disc 1).CUE", "Saga (Disc 2).cue"},
         {"Saga (Disc 1).CUE", "Saga (Disc 2).cue"}},
        {"a save beside a sheet is no track",
         {{"Game.cue", cue("Game.bin")}, {"Game.sav", ""}},
         {"Game.cue", "Game.sav"},
         {"Game.cue", "Game.sav"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::vector<marlit::DirectoryEntry> entries;
        for (const auto &[name, bytes] : c.files) {
            dir.write(name, bytes);
            entries.push_back({name});
        }
        marlit::GameFiles games = marlit::GameFiles::of(entries, RomSearch{}, {}, dir.path());
        ASSERT_TRUE(games.hasSheets());
        games.hideByName();
        EXPECT_EQ(games.shown().toVector(), c.guessed);
        EXPECT_EQ(games.hideBySheets(), c.guessed != c.read); // said changed only when it did
        EXPECT_EQ(games.shown().toVector(), c.read);
    }
}

// The list's order on a big folder, built from titles that share long beginnings, differ only in
// case, run into one another and hold bytes above 127, is exactly before()'s.
TEST(GameFilesTest, ABigListIsOrderedExactlyAsBeforeSays)
{
    const std::vector<std::string> titles = {"Super Mario Bros",
                                             "super mario bros",
                                             "SUPER MARIO BROS",
                                             "Super Mario Bros 2",
                                             "Super Mario",
                                             "Super Mario Bros: The Lost Levels of the Mushroom Kingdom",
                                             "Super Mario Bros: The Lost Levels",
                                             "Super Mario Bros: the lost levels of the Mushroom Kingdom II",
                                             "Pok\xc3\xa9mon",
                                             "POK\xc3\xa9MON",
                                             "Pok\xc3\x89mon",
                                             "_Zero",
                                             "[BIOS] Zero",
                                             "Z",
                                             "a"};
    const std::vector<std::string> tags = {"", " (USA)", " (Europe) [!]", " (Rev 1)", "(Beta)", " [b1]"};
    const std::vector<std::string> endings = {".zip", ".NES", ".7z", ".tar.gz", ""};
    std::vector<marlit::DirectoryEntry> entries;
    for (std::size_t i = 0; i < titles.size() * tags.size() * endings.size(); ++i)
        entries.push_back({titles[i % titles.size()] + tags[i / titles.size() % tags.size()] +
                           endings[i / titles.size() / tags.size()]});
    Names expected;
    for (const auto &entry : entries)
        expected.push_back(entry.name);
    std::sort(expected.begin(), expected.end(), RomListing::before);
    EXPECT_EQ(marlit::GameFiles::of(entries, RomSearch{}, {}, {}).shown().toVector(), expected);

    // The same names over folders that differ in case and hold one another, listed as "All Games"
    // lists them, ordered while the folders are read; and ordered in runs of many sizes, merged.
    TempDir dir;
    const std::vector<std::string> folders = {"X/", "", "x/", "B/Sub/", "B/", "B/Sub b/"};
    Names tree;
    for (std::size_t i = 0; i < expected.size(); ++i)
        tree.push_back(folders[i % folders.size()] + expected[i]);
    marlit::RomNames names;
    for (const std::string &name : tree) {
        dir.write(name);
        names.push_back(name);
    }
    std::sort(tree.begin(), tree.end(), RomListing::before);
    Names listed;
    ASSERT_EQ(RomListing::listAll(dir.path(), RomSearch{}, {}, listed), 0);
    EXPECT_EQ(listed, tree);
    marlit::TitleOrder order;
    for (std::size_t end : {1, 2, 9, 10, 60, 61, 62, 200, 330}) {
        marlit::RomNames run;
        for (std::size_t i = 0; i < end; ++i)
            run.push_back(names[i]);
        order.addRun(run);
    }
    Names ordered;
    for (const std::uint32_t index : order.finish(names))
        ordered.push_back(std::string(names[index]));
    EXPECT_EQ(ordered, tree);
}

// Removing names in place keeps the others whole and in order, whichever rows go: the first, the
// last, runs of neighbours, every one or none.
TEST(RomNames, EraseKeepsTheOthersInOrder)
{
    const std::vector<std::string> all{"a.nes", "bb.nes", "", "dddd.nes", "e.nes", "ff.nes"};
    const std::vector<std::vector<std::size_t>> cases{{}, {0}, {5}, {1, 2}, {0, 2, 4}, {1, 3, 5}, {0, 1, 2, 3, 4, 5}};
    for (const std::vector<std::size_t> &rows : cases) {
        marlit::RomNames names(all);
        names.erase(rows);
        std::vector<std::string> expected;
        for (std::size_t row = 0; row < all.size(); ++row)
            if (std::find(rows.begin(), rows.end(), row) == rows.end())
                expected.push_back(all[row]);
        EXPECT_EQ(names.toVector(), expected) << rows.size();
        EXPECT_EQ(names, marlit::RomNames(expected)); // the bytes as a list built afresh
    }
}
