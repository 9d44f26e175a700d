#include "core/snapshots/SnapshotFinder.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

using marlit::SnapshotFinder;
using marlit::test::TempDir;

namespace {

constexpr const char *kNoShot = "NoShot.png";

// Sets a folder's modification time, so that a test decides whether two states of the folder
// carry the same time stamp.
void setModified(const std::string &folder, timespec when)
{
    const timespec times[2] = {when, when};
    ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
}

timespec modified(const std::string &folder)
{
    struct stat info
    {
    };
    stat(folder.c_str(), &info);
    return info.st_mtim;
}

timespec secondsAgo(int seconds)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    now.tv_sec -= seconds;
    return now;
}

} // namespace

struct PatternCase
{
    const char *romName;
    const char *first;
    const char *second;
};

TEST(SnapshotFinderPatterns, ExtensionBecomesWildcardAndTitleEndsBeforeTheBracket)
{
    const PatternCase cases[] = {
        {"Zelda (U) [!].nes", "Zelda (U) [!].*", "Zelda.*"},
        {"Zelda(U).nes", "Zelda(U).*", "Zeld.*"},       // the letter before the bracket goes too
        {"Zelda  (U).nes", "Zelda  (U).*", "Zelda .*"}, // only one of two blanks goes
        {"Zelda [b1] (U).nes", "Zelda [b1] (U).*", "Zelda.*"},
        {"Game.v1.2 (E).zip", "Game.v1.2 (E).*", "Game.v1.2.*"}, // the last dot ends the title
        {"Zelda (U)", "", "Zelda.*"},                            // no dot: no first search
        {"Zelda.nes", "Zelda.*", ""},                            // no bracket: no second search
        {"Zelda", "", ""},
        {"Zelda.n(es", "Zelda.*", ""}, // a bracket in the extension is no title's end
        {"(U) Zelda.nes", "(U) Zelda.*", ""},
        {"a(U).nes", "a(U).*", ""}, // nothing is left before the bracket
        {"ab(U).nes", "ab(U).*", "a.*"},
        {".nes", "", ""}, // all extension: ".*" would take any dot file
        {"", "", ""},
    };
    for (const PatternCase &c : cases) {
        EXPECT_EQ(SnapshotFinder::firstPattern(c.romName), c.first) << c.romName;
        EXPECT_EQ(SnapshotFinder::secondPattern(c.romName), c.second) << c.romName;
    }
}

struct FindCase
{
    const char *what;
    std::vector<std::string> files;
    std::string romName;
    std::string expected; // a name in the folder, or NoShot.png
};

TEST(SnapshotFinder, FindsByFullNameThenByTitleThenFallsBack)
{
    const FindCase cases[] = {
        {"full name first", {"Zelda.png", "Zelda (U) [!].png"}, "Zelda (U) [!].nes", "Zelda (U) [!].png"},
        {"title only", {"Zelda.png", "Mario.png"}, "Zelda (U) [!].nes", "Zelda.png"},
        {"neither", {"Mario.png", "Zelda II.png"}, "Zelda (U) [!].nes", kNoShot},
        {"no blank before the bracket", {"Zeld.png", "Zelda.png"}, "Zelda(U).nes", "Zeld.png"},
        {"no blank before the bracket, only the title", {"Zelda.png"}, "Zelda(U).nes", kNoShot},
        {"two blanks keep one", {"Zelda .png"}, "Zelda  (U).nes", "Zelda .png"},
        {"two blanks, only the title", {"Zelda.png"}, "Zelda  (U).nes", kNoShot},
        {"case does not matter", {"zelda (u) [!].PNG"}, "Zelda (U) [!].nes", "zelda (u) [!].PNG"},
        {"any extension is taken", {"Zelda.nfo"}, "Zelda.nes", "Zelda.nfo"},
        {"several: first ignoring case", {"zelda.png", "ZELDA.jpg", "Zelda.bmp"}, "Zelda.nes", "Zelda.bmp"},
        {"same but for case: byte order", {"zelda.png", "Zelda.png"}, "Zelda.nes", "Zelda.png"},
        {"the dot must follow the title", {"Zeldas.png", "Zelda2.png"}, "Zelda (U).nes", kNoShot},
        {"no dot, bracket", {"Zelda.png"}, "Zelda (U)", "Zelda.png"},
        {"no dot, no bracket", {"Zelda.png", "Zelda", "a.png"}, "Zelda", kNoShot},
        {"no bracket, first search fails", {"Other.png", "a.png"}, "Zelda.nes", kNoShot},
        {"bracket first", {"x.png", ".png"}, "(U) Zelda.nes", kNoShot},
        {"all extension", {".hidden", "a.png"}, ".nes", kNoShot},
        // "*" and "?" are ordinary characters of a file name: a ROM gets its own picture only.
        {"question mark in the name, both there", {"abc.png", "a?c.png"}, "a?c.nes", "a?c.png"},
        {"question mark in the name, another's only", {"abc.png"}, "a?c.nes", kNoShot},
        {"star in the name", {"Zelda Deluxe.png", "Zelda*.png"}, "Zelda* (U).nes", "Zelda*.png"},
        {"star in the name, another's only", {"Zelda Deluxe.png"}, "Zelda*.nes", kNoShot},
        {"non-ASCII bytes compared as they are", {"\xc9t\xe9.png", "\xe9t\xe9.png"}, "\xe9t\xe9.sfc", "\xe9t\xe9.png"},
        {"empty folder", {}, "Zelda (U).nes", kNoShot},
    };
    for (const FindCase &c : cases) {
        TempDir temp;
        for (const std::string &file : c.files)
            temp.write(file, "x");
        SnapshotFinder finder;
        const std::string expected = c.expected == kNoShot ? std::string(kNoShot) : temp.file(c.expected);
        EXPECT_EQ(finder.find(temp.path(), c.romName), expected) << c.what;
    }
}

TEST(SnapshotFinder, DotsAndBracketsInTheFolderPathAreIgnored)
{
    TempDir temp;
    const std::string snaps[] = {"home/u/.snaps/", "roms/Nintendo (JP)/", "a.b [c]/d(e).f/"};
    for (const std::string &folder : snaps) {
        temp.write(folder + "Zelda.png", "x");
        SnapshotFinder finder;
        EXPECT_EQ(finder.find(temp.file(folder), "Zelda (U) [!].nes"), temp.file(folder) + "Zelda.png") << folder;
        EXPECT_EQ(finder.find(temp.file(folder), "Zelda.nes"), temp.file(folder) + "Zelda.png") << folder;
        // Were the folder's dot or bracket taken, these would search patterns cut inside the folder.
        EXPECT_EQ(finder.find(temp.file(folder), "Zelda"), kNoShot) << folder;
        EXPECT_EQ(finder.find(temp.file(folder), "Mario (U)"), kNoShot) << folder;
    }
}

TEST(SnapshotFinder, FoldersAreNeverPictures)
{
    TempDir temp;
    temp.makeFolder("Zelda (U) [!].d");
    temp.makeFolder("elsewhere/Zelda.dir");
    temp.write("Zelda.png", "x");
    temp.write("elsewhere/Mario.png", "x");
    std::filesystem::create_directory_symlink(temp.file("elsewhere/Zelda.dir"), temp.file("Zelda.a-link"));
    std::filesystem::create_symlink(temp.file("elsewhere/Mario.png"), temp.file("Mario.png"));

    SnapshotFinder finder;
    EXPECT_EQ(finder.find(temp.path(), "Zelda (U) [!].nes"), temp.file("Zelda.png"));
    EXPECT_EQ(finder.find(temp.path(), "Mario.nes"), temp.file("Mario.png")); // a link to a file counts
}

TEST(SnapshotFinder, MissingFolderGivesTheFallback)
{
    TempDir temp;
    SnapshotFinder finder;
    EXPECT_EQ(finder.find(temp.file("missing/"), "Zelda (U).nes"), kNoShot);
    temp.write("missing/Zelda.png", "x"); // appears later
    EXPECT_EQ(finder.find(temp.file("missing/"), "Zelda (U).nes"), temp.file("missing/Zelda.png"));
}

TEST(SnapshotFinder, FolderIsReadOnceUntilItChanges)
{
    TempDir temp;
    temp.write("Zelda.png", "x");
    const timespec past = secondsAgo(100);
    setModified(temp.path(), past);

    SnapshotFinder finder;
    EXPECT_EQ(finder.find(temp.path(), "Mario.nes"), kNoShot);

    // Same time stamp: the names in memory answer, the new file is not seen.
    temp.write("Mario.png", "x");
    setModified(temp.path(), past);
    EXPECT_EQ(finder.find(temp.path(), "Mario.nes"), kNoShot);

    // A new time stamp makes it read again.
    setModified(temp.path(), secondsAgo(50));
    EXPECT_EQ(finder.find(temp.path(), "Mario.nes"), temp.file("Mario.png"));

    // A removed file goes too.
    std::filesystem::remove(temp.file("Zelda.png"));
    EXPECT_EQ(finder.find(temp.path(), "Zelda.nes"), kNoShot);

    temp.write("Luigi.png", "x");
    setModified(temp.path(), secondsAgo(40));
    EXPECT_EQ(finder.find(temp.path(), "Luigi.nes"), temp.file("Luigi.png"));
}

TEST(SnapshotFinder, FileAddedWithinTheSameTimeStampTickIsFound)
{
    // Time stamps are coarse: a file added right after the folder was read may leave its time
    // stamp unchanged. A folder changed that recently is not trusted from memory.
    TempDir temp;
    temp.write("Zelda.png", "x");
    const timespec stamp = modified(temp.path());
    SnapshotFinder finder;
    EXPECT_EQ(finder.find(temp.path(), "Mario.nes"), kNoShot);
    temp.write("Mario.png", "x");
    setModified(temp.path(), stamp);
    EXPECT_EQ(finder.find(temp.path(), "Mario.nes"), temp.file("Mario.png"));
}

TEST(SnapshotFinder, ManyThreadsAtOnce)
{
    TempDir temp;
    temp.write("a/Zelda.png", "x");
    temp.write("b/Mario.png", "x");
    SnapshotFinder finder;
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0 && i % 20 == 0)
                    temp.write("a/Extra" + std::to_string(i) + ".png", "x"); // the folder changes meanwhile
                if (finder.find(temp.file("a/"), "Zelda (U).nes") != temp.file("a/Zelda.png") ||
                    finder.find(temp.file("b/"), "Mario.nes") != temp.file("b/Mario.png"))
                    ++wrong[static_cast<std::size_t>(t)];
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST(SnapshotFinder, SearchListsThePatternsTriedInOrder)
{
    TempDir temp;
    temp.write("snaps/Zelda.png", "x");
    temp.write("snaps/Mario (U).png", "x");
    const std::string snaps = temp.file("snaps/");
    SnapshotFinder finder;

    using Attempts = std::vector<marlit::SnapshotAttempt>;
    marlit::SnapshotSearch search = finder.search(snaps, "Metroid (E) [!].nes");
    EXPECT_EQ(search.path, kNoShot);
    EXPECT_TRUE(search.fellBack);
    EXPECT_EQ(search.attempts, (Attempts{{snaps, "Metroid (E) [!].*"}, {snaps, "Metroid.*"}}));
    EXPECT_TRUE(search.folderReadable);

    search = finder.search(snaps, "Zelda (U).nes"); // the second pattern finds it: both were tried
    EXPECT_EQ(search.path, snaps + "Zelda.png");
    EXPECT_EQ(search.attempts, (Attempts{{snaps, "Zelda (U).*"}, {snaps, "Zelda.*"}}));

    search = finder.search(snaps, "Mario (U).nes"); // the first finds it: the second is never tried
    EXPECT_EQ(search.path, snaps + "Mario (U).png");
    EXPECT_EQ(search.attempts, (Attempts{{snaps, "Mario (U).*"}}));

    // A folder part in the ROM's name is where the patterns were tried.
    temp.write("snaps/sub/Kirby.png", "x");
    search = finder.search(snaps, "sub/Kirby (J).nes");
    EXPECT_EQ(search.attempts, (Attempts{{snaps + "sub/", "Kirby (J).*"}, {snaps + "sub/", "Kirby.*"}}));

    search = finder.search(temp.file("missing/"), "Zelda.nes");
    EXPECT_EQ(search.path, kNoShot);
    EXPECT_EQ(search.attempts, (Attempts{{temp.file("missing/"), "Zelda.*"}}));
    EXPECT_FALSE(search.folderReadable);

    search = finder.search(snaps, "Zelda");
    EXPECT_EQ(search.path, kNoShot);
    EXPECT_TRUE(search.attempts.empty());
}

TEST(SnapshotFinder, WhyNoPictureSaysWhatWasLookedForAndWhere)
{
    marlit::SnapshotSearch search;
    search.romName = "Metroid (E).nes";
    search.path = "/work/NoShot.png";
    search.fellBack = true;
    search.attempts = {{"/snaps/", "Metroid (E).*"}, {"/snaps/", "Metroid.*"}};
    EXPECT_EQ(search.whyNoPicture(true), "No snapshot of \"Metroid (E).nes\" found. Looked for, in this order:\n"
                                         "    Metroid (E).*    in /snaps/\n"
                                         "    Metroid.*    in /snaps/\n"
                                         "Shown instead: /work/NoShot.png.");
    search.folderReadable = false;
    EXPECT_EQ(search.whyNoPicture(false), "No snapshot of \"Metroid (E).nes\" found. Looked for, in this order:\n"
                                          "    Metroid (E).*    in /snaps/\n"
                                          "    Metroid.*    in /snaps/\n"
                                          "The folder /snaps/ cannot be read.\n"
                                          "/work/NoShot.png, shown in its place, is missing or cannot be read.");

    search.attempts.clear();
    search.romName = "Metroid";
    EXPECT_EQ(search.whyNoPicture(true),
              "No snapshot looked for: \"Metroid\" has neither an extension to replace nor a "
              "title before a bracket.\nShown instead: /work/NoShot.png.");

    // Found, but not a picture; a default picture that cannot be read; a picture shown.
    search.path = "/snaps/Metroid.nfo";
    search.fellBack = false;
    EXPECT_EQ(search.whyNoPicture(false), "Found \"/snaps/Metroid.nfo\" for \"Metroid\", but it cannot be read as a "
                                          "picture.");
    EXPECT_EQ(search.whyNoPicture(true), "");
    search.romName.clear();
    EXPECT_EQ(search.whyNoPicture(false), "The picture \"/snaps/Metroid.nfo\" cannot be read.");
}

namespace {

// Reads folders as the program does, counting the reads of each.
struct CountingReader
{
    std::shared_ptr<std::map<std::string, int>> reads = std::make_shared<std::map<std::string, int>>();
    bool operator()(const std::string &folder, std::vector<marlit::DirectoryEntry> &entries) const
    {
        ++(*reads)[folder];
        return marlit::DirectoryReader::list(folder, entries);
    }
};

// Folders whose time stamps are old enough to be trusted from memory.
std::string settledFolder(const TempDir &temp, const std::string &name, int files)
{
    for (int i = 0; i < files; ++i)
        temp.write(name + "/Game" + std::to_string(i) + ".png", "x");
    setModified(temp.file(name + "/"), secondsAgo(100));
    return temp.file(name + "/");
}

} // namespace

TEST(SnapshotFinder, HeldSearchAnswersFromMemoryAndNeverReads)
{
    TempDir temp;
    const std::string snaps = settledFolder(temp, "snaps", 3);
    CountingReader reader;
    SnapshotFinder finder(kNoShot, {}, reader);

    EXPECT_EQ(finder.searchHeld(snaps, "Game1.nes"), std::nullopt); // not read yet: no answer
    EXPECT_EQ(reader.reads->size(), 0u);
    EXPECT_EQ(finder.search(snaps, "Game1.nes").path, snaps + "Game1.png");
    const std::optional<marlit::SnapshotSearch> held = finder.searchHeld(snaps, "Game1 (U).nes");
    ASSERT_TRUE(held);
    EXPECT_EQ(held->path, snaps + "Game1.png");
    EXPECT_EQ(held->attempts.size(), 2u);
    EXPECT_EQ((*reader.reads)[snaps], 1);

    // Changed since: no answer from memory, and still no read.
    temp.write("snaps/Game9.png", "x");
    setModified(snaps, secondsAgo(50));
    EXPECT_EQ(finder.searchHeld(snaps, "Game9.nes"), std::nullopt);
    EXPECT_EQ((*reader.reads)[snaps], 1);
    EXPECT_EQ(finder.search(snaps, "Game9.nes").path, snaps + "Game9.png");
    EXPECT_EQ((*reader.reads)[snaps], 2);
}

TEST(SnapshotFinder, FoldersHeldAreBoundedLeastRecentlyUsedFirst)
{
    TempDir temp;
    CountingReader reader;
    SnapshotFinder byCount(kNoShot, {3, 1000}, reader);
    const std::string a = settledFolder(temp, "a", 2), b = settledFolder(temp, "b", 2), c = settledFolder(temp, "c", 2),
                      d = settledFolder(temp, "d", 2);
    for (const std::string &folder : {a, b, c, a, d}) // a used again before d comes
        byCount.find(folder, "Game0.nes");
    EXPECT_EQ((*reader.reads)[a], 1);
    byCount.find(b, "Game0.nes"); // b went for d
    byCount.find(a, "Game0.nes");
    byCount.find(d, "Game0.nes");
    EXPECT_EQ((*reader.reads)[b], 2);
    EXPECT_EQ((*reader.reads)[a], 1);
    EXPECT_EQ((*reader.reads)[d], 1);

    // By names: a folder larger than the bound is kept while it is the one in use.
    CountingReader names;
    SnapshotFinder byNames(kNoShot, {100, 5}, names);
    const std::string big = settledFolder(temp, "big", 6), small = settledFolder(temp, "small", 2);
    byNames.find(big, "Game5.nes");
    EXPECT_EQ(byNames.find(big, "Game5.nes"), big + "Game5.png");
    EXPECT_EQ((*names.reads)[big], 1);
    byNames.find(small, "Game1.nes"); // 6 + 2 names: the big one goes
    byNames.find(small, "Game1.nes");
    byNames.find(big, "Game5.nes");
    EXPECT_EQ((*names.reads)[small], 1);
    EXPECT_EQ((*names.reads)[big], 2);
}

TEST(SnapshotFinder, FolderIsReadWithoutHoldingTheLock)
{
    TempDir temp;
    const std::string slow = settledFolder(temp, "slow", 1), quick = settledFolder(temp, "quick", 1);
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    SnapshotFinder finder(kNoShot, {}, [&](const std::string &folder, std::vector<marlit::DirectoryEntry> &entries) {
        if (folder == slow) {
            entered.set_value();
            released.wait(); // a folder on a stalled network share
        }
        return marlit::DirectoryReader::list(folder, entries);
    });
    std::thread reading([&] { finder.find(slow, "Game0.nes"); });
    entered.get_future().wait();

    // Another folder is looked up, and read, while the slow one is being read.
    auto other = std::async(std::launch::async, [&] { return finder.find(quick, "Game0.nes"); });
    const bool answered = other.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    release.set_value();
    reading.join();
    ASSERT_TRUE(answered) << "a look-up waited for another folder's read";
    EXPECT_EQ(other.get(), quick + "Game0.png");
}
