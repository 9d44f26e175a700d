// The play history against a real database file in a temporary folder: what it records and
// gives back, a migration, damaged and foreign files, a folder it cannot write, two processes
// recording at once and kills during writes.

#include "core/history/HistoryStore.h"

#include "ForkedChild.h"
#include "TempDir.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

using marlit::HistoryStore;
using marlit::RomHistory;
using marlit::SystemKey;
using marlit::test::runAsUnprivilegedUser;
using marlit::test::TempDir;

namespace marlit {
void PrintTo(const RomHistory &h, std::ostream *out)
{
    *out << "{" << h.path << " of " << h.system.category << "/" << h.system.name << (h.favourite ? " *" : "")
         << " plays " << h.plays << " ms " << h.playedMs << " last " << h.lastPlayedMs << "}";
}
} // namespace marlit

namespace {

const SystemKey kSnes{"console.ini", "Super Nintendo"};
const SystemKey kDos{"computer.ini", "DOSBox"};
constexpr std::int64_t kDay = 86'400'000;

std::vector<std::string> pathsOf(const std::vector<RomHistory> &rows)
{
    std::vector<std::string> paths;
    for (const RomHistory &row : rows)
        paths.push_back(row.path);
    return paths;
}

std::string bytesOfFile(const std::string &path)
{
    std::string bytes;
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

// Another connection's view, as the sqlite3 tool would give it.
std::string pragma(const std::string &path, const char *name)
{
    SQLite::Database database(path, SQLite::OPEN_READONLY);
    return database.execAndGet(std::string("PRAGMA ") + name).getString();
}

std::string damagedName()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    return std::string(HistoryStore::kFileName) + ".damaged-" + date;
}

} // namespace

TEST(HistoryStore, RecordsFavouritesAndForgetsAndKeepsItAcrossOpens)
{
    TempDir dir;
    const std::string file = dir.file(HistoryStore::kFileName);
    // Paths are bytes: a blank, a Latin-1 byte that is no UTF-8, a quote.
    const std::string zelda = dir.file("roms/Zelda (U).nes");
    const std::string mario = dir.file("roms/sub/mario \xE9'.smc");
    const std::string alpha = dir.file("roms/other/Alpha.smc");
    const std::string doom = dir.file("dos/DOOM.EXE");
    {
        HistoryStore store(file);
        EXPECT_FALSE(store.recordPlay(zelda, kSnes, 1000)) << "nothing is written before open";
        store.open();
        ASSERT_TRUE(store.kept());
        EXPECT_EQ(store.takeNotices(), std::vector<std::string>{});

        ASSERT_TRUE(store.recordPlay(zelda, kSnes, 10 * kDay));
        ASSERT_TRUE(store.addPlayedTime(zelda, 8'040'000));
        ASSERT_TRUE(store.recordPlay(mario, kSnes, 12 * kDay));
        ASSERT_TRUE(store.recordPlay(zelda, kSnes, 11 * kDay));
        ASSERT_TRUE(store.addPlayedTime(zelda, 60'000));
        // A play whose start was stamped earlier (another process, a slow watch) keeps the latest.
        ASSERT_TRUE(store.recordPlay(zelda, kSnes, 9 * kDay));
        ASSERT_TRUE(store.recordPlay(doom, kDos, 13 * kDay));
        ASSERT_TRUE(store.setFavourite(alpha, kSnes, true)); // starred, never played
        ASSERT_TRUE(store.setFavourite(mario, kSnes, true));
    }

    HistoryStore store(file);
    store.open();
    ASSERT_TRUE(store.kept());
    EXPECT_EQ(pragma(file, "journal_mode"), "wal");
    EXPECT_EQ(pragma(file, "user_version"), std::to_string(HistoryStore::kSchemaVersion));

    EXPECT_EQ(store.find(zelda), (RomHistory{zelda, kSnes, false, 3, 8'100'000, 11 * kDay}));
    EXPECT_EQ(store.find(alpha), (RomHistory{alpha, kSnes, true, 0, 0, 0}));
    // Newest first, only the system's, only what was played, at most the limit.
    EXPECT_EQ(pathsOf(store.recentlyPlayed(kSnes, 100)), (std::vector<std::string>{mario, zelda}));
    EXPECT_EQ(pathsOf(store.recentlyPlayed(kSnes, 1)), std::vector<std::string>{mario});
    EXPECT_EQ(pathsOf(store.recentlyPlayed(kDos, 100)), std::vector<std::string>{doom});
    // By file name as the list orders names, wherever the folder.
    EXPECT_EQ(pathsOf(store.favourites(kSnes)), (std::vector<std::string>{alpha, mario}));
    std::vector<std::string> stars = store.favouritePaths(kSnes);
    std::sort(stars.begin(), stars.end());
    EXPECT_EQ(stars, (std::vector<std::string>{alpha, mario}));
    EXPECT_EQ(store.favouritePaths(kDos), std::vector<std::string>{});

    // Forgetting keeps the star; time for a forgotten play is not added back.
    ASSERT_TRUE(store.forget(mario));
    ASSERT_TRUE(store.addPlayedTime(mario, 5000));
    EXPECT_EQ(store.find(mario), (RomHistory{mario, kSnes, true, 0, 0, 0}));
    EXPECT_EQ(pathsOf(store.recentlyPlayed(kSnes, 100)), std::vector<std::string>{zelda});
    // A ROM with nothing left goes; one starred from another system moves there.
    ASSERT_TRUE(store.setFavourite(alpha, kSnes, false));
    EXPECT_EQ(store.find(alpha), std::nullopt);
    ASSERT_TRUE(store.setFavourite(zelda, kDos, true));
    EXPECT_EQ(pathsOf(store.favourites(kDos)), std::vector<std::string>{zelda});
    EXPECT_EQ(pathsOf(store.recentlyPlayed(kDos, 100)), (std::vector<std::string>{doom, zelda}));
    ASSERT_TRUE(store.setFavourite(zelda, kSnes, false));
    EXPECT_EQ(store.find(zelda)->system, kDos) << "taking the star away keeps the system";
}

TEST(HistoryStore, MigratesAnOlderDatabaseAndNeverTouchesANewerOne)
{
    TempDir dir;
    const std::string file = dir.file(HistoryStore::kFileName);
    {
        // Version 0: a database with no schema yet, in the default rollback journal mode.
        SQLite::Database older(file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        older.exec("PRAGMA page_size = 1024; VACUUM");
    }
    {
        HistoryStore store(file);
        store.open();
        ASSERT_TRUE(store.kept());
        EXPECT_TRUE(store.recordPlay("/roms/a.nes", kSnes, 5));
        EXPECT_EQ(store.takeNotices(), std::vector<std::string>{});
    }
    EXPECT_EQ(pragma(file, "user_version"), std::to_string(HistoryStore::kSchemaVersion));
    EXPECT_EQ(pragma(file, "application_id"), std::to_string(HistoryStore::kApplicationId));
    EXPECT_EQ(pragma(file, "journal_mode"), "wal");

    // A history from a later version, with a schema this one does not know: left exactly as is.
    {
        SQLite::Database newer(file, SQLite::OPEN_READWRITE);
        newer.exec("PRAGMA journal_mode = DELETE; ALTER TABLE roms ADD COLUMN rating INTEGER;"
                   "PRAGMA user_version = " +
                   std::to_string(HistoryStore::kSchemaVersion + 1));
    }
    const std::string before = bytesOfFile(file);
    HistoryStore store(file);
    store.open();
    EXPECT_FALSE(store.kept());
    EXPECT_FALSE(store.recordPlay("/roms/a.nes", kSnes, 6));
    EXPECT_EQ(store.recentlyPlayed(kSnes, 100), std::vector<RomHistory>{});
    EXPECT_EQ(store.takeNotices(), std::vector<std::string>{"Play history is not kept: marlit-history.db was "
                                                            "written by a newer Marlit."});
    EXPECT_EQ(bytesOfFile(file), before);
    EXPECT_EQ(dir.names(), std::vector<std::string>{HistoryStore::kFileName});
}

TEST(HistoryStore, DamagedOrForeignFilesAreMovedAsideWithTheDate)
{
    TempDir dir;
    const std::string file = dir.file(HistoryStore::kFileName);
    const std::string aside = damagedName();

    // Not a database at all.
    dir.write(HistoryStore::kFileName, "ROM list of 2019, kept by hand\n");
    {
        HistoryStore store(file);
        store.open();
        ASSERT_TRUE(store.kept());
        EXPECT_EQ(store.takeNotices(),
                  std::vector<std::string>{"The play history marlit-history.db was damaged (file is not a database): "
                                           "it was renamed " +
                                           aside + " and a new history was started."});
        EXPECT_TRUE(store.recordPlay("/roms/a.nes", kSnes, 1));
    }
    EXPECT_EQ(dir.read(aside), "ROM list of 2019, kept by hand\n");

    // Another program's database, moved aside as it is; a second one the same day gets a number.
    std::filesystem::remove(file);
    {
        SQLite::Database foreign(file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        foreign.exec("CREATE TABLE songs(title TEXT); INSERT INTO songs VALUES('kept')");
    }
    const std::string foreignBytes = bytesOfFile(file);
    {
        HistoryStore store(file);
        store.open();
        ASSERT_TRUE(store.kept());
        const std::vector<std::string> notices = store.takeNotices();
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_NE(notices[0].find("(it is another program's database): it was renamed " + aside + "-2 "),
                  std::string::npos)
            << notices[0];
    }
    EXPECT_EQ(bytesOfFile(dir.file(aside + "-2")), foreignBytes);

    // A history of ours whose pages are damaged behind its header: it opens, the first write
    // finds the damage, and lands in a fresh history once the file is moved aside.
    std::filesystem::remove(file);
    {
        HistoryStore store(file);
        store.open();
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(store.recordPlay("/roms/" + std::string(200, 'x') + std::to_string(i), kSnes, i));
    } // the last connection folds its journal into the file
    ASSERT_FALSE(dir.exists(std::string(HistoryStore::kFileName) + "-wal"));
    {
        const int fd = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const std::string pages(3 * 4096, '\x5A'); // the pages after the first, which holds the header
        ASSERT_EQ(pwrite(fd, pages.data(), pages.size(), 4096), static_cast<ssize_t>(pages.size()));
        ::close(fd);
    }
    HistoryStore store(file);
    store.open();
    ASSERT_TRUE(store.kept());
    EXPECT_EQ(store.takeNotices(), std::vector<std::string>{});
    EXPECT_TRUE(store.recordPlay("/roms/after.nes", kSnes, 1000));
    EXPECT_TRUE(store.kept());
    EXPECT_EQ(pathsOf(store.recentlyPlayed(kSnes, 100)), std::vector<std::string>{"/roms/after.nes"});
    const std::vector<std::string> notices = store.takeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("it was renamed " + aside + "-3 and a new history was started."), std::string::npos)
        << notices[0];
    EXPECT_TRUE(dir.exists(aside + "-3"));
    EXPECT_EQ(pragma(file, "integrity_check"), "ok");
}

TEST(HistoryStore, FolderItCannotWriteKeepsNothingAndSaysWhyOnce)
{
    TempDir dir;
    dir.makeFolder("locked");
    dir.makeFolder("locked-with-history");
    {
        HistoryStore store(dir.file("locked-with-history/") + HistoryStore::kFileName);
        store.open();
        ASSERT_TRUE(store.recordPlay("/roms/a.nes", kSnes, 1));
    }
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir.file("locked-with-history").c_str(), 0555), 0);
    const auto tryFolder = [&](const std::string &folder) {
        HistoryStore store(dir.file(folder + "/") + HistoryStore::kFileName);
        store.open();
        std::string seen = store.kept() ? "kept;" : "not kept;";
        seen += store.recordPlay("/roms/a.nes", kSnes, 2) ? " recorded;" : " not recorded;";
        seen += store.setFavourite("/roms/a.nes", kSnes, true) ? " starred;" : " not starred;";
        for (const std::string &notice : store.takeNotices())
            seen += " " + notice;
        return seen;
    };
    EXPECT_EQ(runAsUnprivilegedUser(dir.path(), [&] { return tryFolder("locked"); }),
              "not kept; not recorded; not starred; Play history is not kept: cannot write in " + dir.file("locked/") +
                  ": Permission denied.");
    EXPECT_EQ(runAsUnprivilegedUser(dir.path(), [&] { return tryFolder("locked-with-history"); }),
              "not kept; not recorded; not starred; Play history is not kept: cannot write in " +
                  dir.file("locked-with-history/") + ": Permission denied.");
    EXPECT_EQ(dir.names("locked"), std::vector<std::string>{});
}

TEST(HistoryStore, TwoProcessesRecordingAtOnceBothCount)
{
    TempDir dir;
    const std::string file = dir.file(HistoryStore::kFileName);
    constexpr int kPlays = 100;
    // Both start on a folder without a history: both create, migrate and write it at once.
    const auto recordMany = [&](const std::string &own) {
        HistoryStore store(file);
        store.open();
        for (int i = 0; i < kPlays; ++i) {
            if (!store.recordPlay("/roms/shared.nes", kSnes, i) || !store.addPlayedTime("/roms/shared.nes", 1) ||
                !store.setFavourite(own, kSnes, i % 2 == 0)) {
                std::string why = "failed at " + std::to_string(i);
                for (const std::string &notice : store.takeNotices())
                    why += ": " + notice;
                return why;
            }
        }
        const std::vector<std::string> notices = store.takeNotices();
        return notices.empty() ? std::string("done") : notices.front();
    };
    marlit::test::ForkedChild first([&] { return recordMany("/roms/first.nes"); });
    marlit::test::ForkedChild second([&] { return recordMany("/roms/second.nes"); });
    EXPECT_EQ(first.result(), "done");
    EXPECT_EQ(second.result(), "done");

    HistoryStore store(file);
    store.open();
    EXPECT_EQ(store.find("/roms/shared.nes"),
              (RomHistory{"/roms/shared.nes", kSnes, false, 2 * kPlays, 2 * kPlays, kPlays - 1}));
    EXPECT_EQ(pathsOf(store.favourites(kSnes)), std::vector<std::string>{}) << "each ended on an odd turn: no star";
    EXPECT_EQ(pragma(file, "integrity_check"), "ok");
}

TEST(HistoryStore, KillsDuringWritesLeaveItConsistentWithEveryCommittedPlay)
{
    TempDir dir;
    const std::string file = dir.file(HistoryStore::kFileName);
    std::mt19937 random(20250214);
    std::uniform_int_distribution<int> microseconds(0, 30000);
    std::int64_t committed = 0;
    for (int kill = 0; kill < 40; ++kill) {
        int report[2];
        ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the test
            HistoryStore store(file);
            store.open();
            if (write(report[1], "o", 1) != 1) // open: the kills fall among the writes
                _exit(4);
            for (std::int64_t play = 0;; ++play) {
                // Each play also stars and unstars a ROM of this writer's, so rows come and go.
                const std::string own =
                    "/roms/" + std::to_string(kill) + "/" + std::to_string(play % 50) + std::string(300, 'r');
                if (!store.recordPlay("/roms/counted.nes", kSnes, play) || !store.setFavourite(own, kSnes, true) ||
                    !store.setFavourite(own, kSnes, false))
                    _exit(3);
                // Said only once the play's transaction is committed.
                if (write(report[1], "p", 1) != 1)
                    _exit(4);
            }
        }
        close(report[1]);
        char opened = 0;
        ASSERT_EQ(read(report[0], &opened, 1), 1);
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds(random)));
        ::kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with " << status;
        char buffer[4096];
        for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;)
            committed += std::count(buffer, buffer + n, 'p');
        close(report[0]);

        ASSERT_EQ(pragma(file, "integrity_check"), "ok") << "after kill " << kill;
        HistoryStore store(file);
        store.open();
        ASSERT_TRUE(store.kept());
        const std::optional<RomHistory> counted = store.find("/roms/counted.nes");
        // Every play said to be committed is there; at most the one under way besides.
        ASSERT_TRUE(counted.has_value() || committed == 0);
        const std::int64_t plays = counted ? counted->plays : 0;
        ASSERT_GE(plays, committed) << "after kill " << kill;
        ASSERT_LE(plays, committed + kill + 1) << "after kill " << kill;
        const std::vector<std::string> stars = store.favouritePaths(kSnes);
        ASSERT_LE(std::count_if(
                      stars.begin(), stars.end(),
                      [&](const std::string &path) { return path.starts_with("/roms/" + std::to_string(kill) + "/"); }),
                  1)
            << "at most the killed writer's last star";
        ASSERT_EQ(store.takeNotices(), std::vector<std::string>{});
        committed = plays; // the one under way, if it landed, counts from now on
    }
    EXPECT_GT(committed, 20) << "the writer hardly wrote";
}

// A history as the first schema wrote it: plays and stars by system name. Migrated, a system's
// views are the ROMs of its folder, whatever it is called now.
TEST(HistoryStore, MigratedHistoryShowsEachFoldersPlaysUnderAnyName)
{
    TempDir dir;
    const std::string file = dir.file(HistoryStore::kFileName);
    {
        SQLite::Database written(file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        written.exec("PRAGMA journal_mode = WAL;"
                     "CREATE TABLE roms (path BLOB PRIMARY KEY NOT NULL, category BLOB NOT NULL,"
                     " system BLOB NOT NULL, favourite INTEGER NOT NULL DEFAULT 0, plays INTEGER NOT NULL DEFAULT 0,"
                     " played_ms INTEGER NOT NULL DEFAULT 0, last_played INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID;"
                     "CREATE INDEX roms_recent ON roms(category, system, last_played) WHERE plays > 0;"
                     "CREATE INDEX roms_favourites ON roms(category, system) WHERE favourite;"
                     "INSERT INTO roms VALUES"
                     " (CAST('/roms/snes/Mario.sfc' AS BLOB), CAST('console.ini' AS BLOB), CAST('Nintendo' AS BLOB),"
                     "  1, 2, 60000, 100),"
                     " (CAST('/roms/snes/Zelda.sfc' AS BLOB), CAST('console.ini' AS BLOB), CAST('Nintendo' AS BLOB),"
                     "  0, 1, 5000, 300),"
                     // Another system of the same name, in another folder.
                     " (CAST('/roms/famicom/Mario.fc' AS BLOB), CAST('console.ini' AS BLOB), CAST('Nintendo' AS BLOB),"
                     "  1, 1, 0, 200),"
                     // A folder whose name begins with the first's.
                     " (CAST('/roms/snes-hacks/Mario.sfc' AS BLOB), CAST('console.ini' AS BLOB),"
                     "  CAST('Hacks' AS BLOB), 1, 1, 0, 400);"
                     "PRAGMA application_id = " +
                     std::to_string(HistoryStore::kApplicationId) + "; PRAGMA user_version = 1;");
    }
    HistoryStore store(file);
    store.open();
    ASSERT_TRUE(store.kept());
    EXPECT_EQ(pragma(file, "user_version"), std::to_string(HistoryStore::kSchemaVersion));
    const SystemKey renamed{"console.ini", "Super Famicom", "/roms/snes/"};
    EXPECT_EQ(pathsOf(store.favourites(renamed)), std::vector<std::string>{"/roms/snes/Mario.sfc"});
    EXPECT_EQ(pathsOf(store.recentlyPlayed(renamed, 100)),
              (std::vector<std::string>{"/roms/snes/Zelda.sfc", "/roms/snes/Mario.sfc"}));
    EXPECT_EQ(store.favouritePaths(SystemKey{"handheld.ini", "Famicom", "/roms/famicom/"}),
              std::vector<std::string>{"/roms/famicom/Mario.fc"});
    // A play from a system of another name in the same folder is the folder's too.
    EXPECT_TRUE(store.recordPlay("/roms/snes/Kirby.sfc", SystemKey{"classic.ini", "SNES", "/roms/snes/"}, 500));
    EXPECT_EQ(pathsOf(store.recentlyPlayed(renamed, 1)), std::vector<std::string>{"/roms/snes/Kirby.sfc"});
    EXPECT_EQ(store.find("/roms/snes/Mario.sfc")->playedMs, 60000);
}

namespace {

// Holds the history locked in another process until release(): its child takes the lock, says
// so through a pipe and keeps it until the pipe to it is closed.
class LockHolder
{
public:
    explicit LockHolder(const std::function<void()> &takeLock)
    {
        int ready[2];
        int release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            return;
        m_child = std::make_unique<marlit::test::ForkedChild>([&] {
            close(ready[0]);
            close(release[1]);
            takeLock();
            char byte = 'x';
            if (write(ready[1], &byte, 1) != 1)
                return std::string("no word");
            while (read(release[0], &byte, 1) > 0) {
            }
            return std::string("released");
        });
        close(ready[1]);
        close(release[0]);
        m_release = release[1];
        char byte = 0;
        m_locked = read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~LockHolder() { release(); }

    bool locked() const { return m_locked; }
    std::optional<std::string> release()
    {
        if (m_release < 0)
            return std::nullopt;
        close(std::exchange(m_release, -1));
        return m_child->result();
    }

private:
    std::unique_ptr<marlit::test::ForkedChild> m_child;
    int m_release = -1;
    bool m_locked = false;
};

} // namespace

// Another program holds the history locked before it is opened: reads say why they give nothing,
// plays and marks made meanwhile wait in their order and are all written once the lock goes.
TEST(HistoryStore, LockedByAnotherProcessSaysWhyKeepsEveryPlayAndRecovers)
{
    struct Case
    {
        const char *lock;
        bool readable; // reads go on under this lock
    };
    const Case cases[] = {
        // A whole-file record lock, as SQLite's own (fcntl) locks: nothing can even be read.
        {"whole file", false},
        // "BEGIN EXCLUSIVE" in another connection: a write-ahead log still lets readers in.
        {"exclusive transaction", true},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.lock);
        TempDir dir;
        const std::string file = dir.file(HistoryStore::kFileName);
        const std::string zelda = "/roms/Zelda.nes";
        const std::string mario = "/roms/Mario.nes";
        {
            HistoryStore store(file);
            store.open();
            ASSERT_TRUE(store.recordPlay(zelda, kSnes, 1 * kDay));
        }
        LockHolder holder([&] {
            if (std::string(test.lock) == "whole file") {
                const int fd = ::open(file.c_str(), O_RDWR);
                struct flock whole
                {
                };
                whole.l_type = F_WRLCK;
                whole.l_whence = SEEK_SET;
                if (fd < 0 || fcntl(fd, F_SETLK, &whole) != 0)
                    _exit(3);
                return; // the descriptor, and its lock, stay until the child ends
            }
            auto *held = new SQLite::Database(file, SQLite::OPEN_READWRITE); // kept until the child ends
            held->exec("BEGIN EXCLUSIVE");
        });
        ASSERT_TRUE(holder.locked());

        HistoryStore store(file, 300);
        store.open();
        const std::vector<std::string> before = pathsOf(store.recentlyPlayed(kSnes, 100));
        EXPECT_EQ(before, test.readable ? std::vector<std::string>{zelda} : std::vector<std::string>{});
        EXPECT_EQ(store.unreadable(), test.readable ? "" : "it is locked by another program");
        // Each waits behind the one before: done out of order, the forgetting would win.
        EXPECT_FALSE(store.recordPlay(mario, kSnes, 2 * kDay));
        EXPECT_FALSE(store.forget(mario));
        EXPECT_FALSE(store.recordPlay(mario, kSnes, 3 * kDay));
        EXPECT_FALSE(store.setFavourite(zelda, kSnes, true));
        EXPECT_EQ(store.waitingWrites(), 4u);
        EXPECT_FALSE(store.retryWaitingWrites());
        EXPECT_EQ(store.takeNotices(), std::vector<std::string>{"The play history marlit-history.db is locked by "
                                                                "another program: plays are kept until it can be "
                                                                "written."});

        EXPECT_EQ(holder.release(), "released");
        EXPECT_EQ(pathsOf(store.recentlyPlayed(kSnes, 100)), (std::vector<std::string>{mario, zelda}))
            << "a read writes what waited first";
        EXPECT_EQ(store.unreadable(), "");
        EXPECT_EQ(store.waitingWrites(), 0u);
        EXPECT_EQ(store.takeNotices(), std::vector<std::string>{});

        HistoryStore other(file);
        other.open();
        EXPECT_EQ(other.find(mario), (RomHistory{mario, kSnes, false, 1, 0, 3 * kDay}));
        EXPECT_EQ(other.find(zelda), (RomHistory{zelda, kSnes, true, 1, 0, 1 * kDay}));
    }
}
