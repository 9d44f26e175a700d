#include "core/history/HistoryStore.h"

#include "core/browse/NameOrder.h"
#include "core/fs/FileDescriptor.h"
#include "core/fs/Paths.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace marlit {

namespace {

// Step i brings the schema from version i to version i + 1, inside one transaction.
constexpr const char *kMigrations[] = {
    "CREATE TABLE roms ("
    " path BLOB PRIMARY KEY NOT NULL,"
    " category BLOB NOT NULL,"
    " system BLOB NOT NULL,"
    " favourite INTEGER NOT NULL DEFAULT 0,"
    " plays INTEGER NOT NULL DEFAULT 0,"
    " played_ms INTEGER NOT NULL DEFAULT 0,"
    " last_played INTEGER NOT NULL DEFAULT 0"
    ") WITHOUT ROWID;"
    "CREATE INDEX roms_recent ON roms(category, system, last_played) WHERE plays > 0;"
    "CREATE INDEX roms_favourites ON roms(category, system) WHERE favourite;",
    // A system's views became the ROMs of its folder: the plays, keyed by path, stay as they are.
    "CREATE INDEX roms_favourite_paths ON roms(path) WHERE favourite;"
    "CREATE INDEX roms_played_paths ON roms(path) WHERE plays > 0;",
};
static_assert(std::size(kMigrations) == HistoryStore::kSchemaVersion, "one migration step per schema version");

#define MARLIT_HISTORY_COLUMNS "path, category, system, favourite, plays, played_ms, last_played"

// Why a read gave nothing while another program holds the database.
constexpr const char *kLockedReason = "it is locked by another program";

bool isLock(const SQLite::Exception &error)
{
    const int code = error.getErrorCode() & 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool isDamage(const SQLite::Exception &error)
{
    const int code = error.getErrorCode() & 0xFF;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// Why a readable database is not a history of ours, or nothing when it is one (or still empty).
std::optional<std::string> foreignness(SQLite::Database &database)
{
    const int applicationId = database.execAndGet("PRAGMA application_id").getInt();
    if (applicationId == HistoryStore::kApplicationId)
        return std::nullopt;
    if (applicationId != 0)
        return "it is another program's database";
    const int version = database.execAndGet("PRAGMA user_version").getInt();
    if (version != 0 || database.execAndGet("SELECT count(*) FROM sqlite_master").getInt() > 0)
        return "it is another program's database";
    return std::nullopt;
}

// Parameters and columns hold the path and the system as bytes, whatever their encoding.
void bindBytes(SQLite::Statement &statement, int index, const std::string &bytes)
{
    statement.bind(index, bytes.data(), static_cast<int>(bytes.size()));
}

std::string bytesOf(const SQLite::Column &column)
{
    const auto *data = static_cast<const char *>(column.getBlob());
    return data ? std::string(data, static_cast<std::size_t>(column.getBytes())) : std::string();
}

RomHistory historyOf(const SQLite::Statement &row)
{
    RomHistory history;
    history.path = bytesOf(row.getColumn(0));
    history.system.category = bytesOf(row.getColumn(1));
    history.system.name = bytesOf(row.getColumn(2));
    history.favourite = row.getColumn(3).getInt() != 0;
    history.plays = row.getColumn(4).getInt64();
    history.playedMs = row.getColumn(5).getInt64();
    history.lastPlayedMs = row.getColumn(6).getInt64();
    return history;
}

// A reused statement, freshly reset with no bindings, and reset again after use so that no
// finished read keeps a snapshot of the database open.
class Use
{
public:
    explicit Use(SQLite::Statement &statement) : m_statement(statement)
    {
        m_statement.tryReset();
        m_statement.clearBindings();
    }
    ~Use() { m_statement.tryReset(); }
    Use(const Use &) = delete;
    Use &operator=(const Use &) = delete;

    SQLite::Statement &operator*() const { return m_statement; }
    SQLite::Statement *operator->() const { return &m_statement; }

private:
    SQLite::Statement &m_statement;
};

void bindSystem(SQLite::Statement &statement, int firstIndex, const SystemKey &system)
{
    bindBytes(statement, firstIndex, system.category);
    bindBytes(statement, firstIndex + 1, system.name);
}

// What a view's statement (viewOf) selects by.
void bindView(SQLite::Statement &statement, int firstIndex, const SystemKey &system)
{
    if (system.romFolder.empty()) {
        bindBytes(statement, firstIndex, system.category);
        bindBytes(statement, firstIndex + 1, system.name);
        return;
    }
    std::string end = system.romFolder;
    end.back() = static_cast<char>(static_cast<unsigned char>(end.back()) + 1);
    bindBytes(statement, firstIndex, system.romFolder);
    bindBytes(statement, firstIndex + 1, end);
}

// The view's statement by folder when the system has one, else by category and name.
SQLite::Statement &viewOf(const SystemKey &system, SQLite::Statement &bySystem, SQLite::Statement &byFolder)
{
    return system.romFolder.empty() ? bySystem : byFolder;
}

std::string localDateText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    return date;
}

// Renames without ever replacing a file that is there.
bool renameNoReplace(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot rename without replacing: check, then rename.
    struct stat existing
    {
    };
    if (::lstat(to.c_str(), &existing) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

struct HistoryStore::Connection
{
    explicit Connection(SQLite::Database opened) : database(std::move(opened)) {}

    SQLite::Database database;
    SQLite::Statement recordPlay{
        database, "INSERT INTO roms(path, category, system, plays, last_played) VALUES(?1, ?2, ?3, 1, ?4)"
                  " ON CONFLICT(path) DO UPDATE SET category = excluded.category, system = excluded.system,"
                  " plays = plays + 1, last_played = max(last_played, excluded.last_played)"};
    SQLite::Statement addPlayedTime{database,
                                    "UPDATE roms SET played_ms = played_ms + ?2 WHERE path = ?1 AND plays > 0"};
    SQLite::Statement setFavourite{database,
                                   "INSERT INTO roms(path, category, system, favourite) VALUES(?1, ?2, ?3, ?4)"
                                   " ON CONFLICT(path) DO UPDATE SET favourite = excluded.favourite,"
                                   " category = iif(excluded.favourite, excluded.category, category),"
                                   " system = iif(excluded.favourite, excluded.system, system)"};
    SQLite::Statement forget{database, "UPDATE roms SET plays = 0, played_ms = 0, last_played = 0 WHERE path = ?1"};
    // A row that holds nothing any more goes.
    SQLite::Statement dropIfEmpty{database, "DELETE FROM roms WHERE path = ?1 AND NOT favourite AND plays = 0"};
    SQLite::Statement favourites{database, "SELECT " MARLIT_HISTORY_COLUMNS
                                           " FROM roms WHERE category = ?1 AND system = ?2 AND favourite"};
    SQLite::Statement recentlyPlayed{database, "SELECT " MARLIT_HISTORY_COLUMNS
                                               " FROM roms WHERE category = ?1 AND system = ?2 AND plays > 0"
                                               " ORDER BY last_played DESC, path LIMIT ?3"};
    SQLite::Statement favouritePaths{database,
                                     "SELECT path FROM roms WHERE category = ?1 AND system = ?2 AND favourite"};
    // The same by folder: the paths from the folder up to, not including, the folder's name with
    // its last byte (the separator) raised by one.
    SQLite::Statement favouritesIn{database,
                                   "SELECT " MARLIT_HISTORY_COLUMNS " FROM roms INDEXED BY roms_favourite_paths"
                                   " WHERE path >= ?1 AND path < ?2 AND favourite"};
    SQLite::Statement recentlyPlayedIn{database,
                                       "SELECT " MARLIT_HISTORY_COLUMNS " FROM roms INDEXED BY roms_played_paths"
                                       " WHERE path >= ?1 AND path < ?2 AND plays > 0"
                                       " ORDER BY last_played DESC, path LIMIT ?3"};
    SQLite::Statement favouritePathsIn{database, "SELECT path FROM roms INDEXED BY roms_favourite_paths"
                                                 " WHERE path >= ?1 AND path < ?2 AND favourite"};
    SQLite::Statement find{database, "SELECT " MARLIT_HISTORY_COLUMNS " FROM roms WHERE path = ?1"};
};

HistoryStore::HistoryStore(std::string databasePath, int busyTimeoutMs)
    : m_path(std::move(databasePath)), m_busyTimeoutMs(busyTimeoutMs)
{
}

HistoryStore::~HistoryStore() = default;

bool HistoryStore::kept() const
{
    return m_connection != nullptr;
}

void HistoryStore::open()
{
    openWaiting(m_busyTimeoutMs);
}

void HistoryStore::openWaiting(int patienceMs)
{
    m_connection.reset();
    m_gaveUp = false;
    m_lockedOut = false;
    // A second damaged file in a row (another process's, say) is not chased further.
    int damaged = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    while (damaged < 2) {
        switch (tryOpen(patienceMs)) {
        case Outcome::Opened:
        case Outcome::NotKept:
            return;
        case Outcome::Damaged:
            ++damaged;
            break;
        case Outcome::Busy:
            // Two processes creating or switching the journal at once can each be refused at
            // once instead of waiting (SQLite's way out of a deadlock): one of them tries again.
            if (std::chrono::steady_clock::now() >= deadline) {
                m_lockedOut = true;
                lockedBy();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            break;
        }
    }
    if (!kept() && !m_gaveUp)
        notKept(std::string(kFileName) + " is damaged and could not be moved aside");
}

bool HistoryStore::reopenIfLockedOut()
{
    if (!m_connection && m_lockedOut)
        openWaiting(kLockedRetryMs);
    return m_connection != nullptr;
}

void HistoryStore::lockedBy()
{
    if (m_toldLocked)
        return;
    m_toldLocked = true;
    m_notices.push_back("The play history " + std::string(kFileName) +
                        " is locked by another program: plays are kept until it can be written.");
}

HistoryStore::Outcome HistoryStore::tryOpen(int busyTimeoutMs)
{
    std::string damage;
    try {
        SQLite::Database database(m_path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, busyTimeoutMs);
        if (const std::optional<std::string> foreign = foreignness(database)) {
            damage = *foreign;
        } else {
            const int version = database.execAndGet("PRAGMA user_version").getInt();
            if (version > kSchemaVersion) {
                notKept(std::string(kFileName) + " was written by a newer Marlit");
                return Outcome::NotKept;
            }
            database.exec("PRAGMA journal_mode = WAL");
            database.exec("PRAGMA synchronous = FULL");
            if (version < kSchemaVersion) {
                SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
                // Another process may have migrated it meanwhile; a newer one is never taken back.
                int current = database.execAndGet("PRAGMA user_version").getInt();
                if (current < kSchemaVersion) {
                    for (; current < kSchemaVersion; ++current)
                        database.exec(kMigrations[current]);
                    database.exec("PRAGMA application_id = " + std::to_string(kApplicationId));
                    database.exec("PRAGMA user_version = " + std::to_string(kSchemaVersion));
                }
                transaction.commit();
            }
            database.setBusyTimeout(m_busyTimeoutMs);
            m_connection = std::make_unique<Connection>(std::move(database));
            return Outcome::Opened;
        }
    } catch (const SQLite::Exception &error) {
        if (isLock(error))
            return Outcome::Busy;
        if (!isDamage(error)) {
            // Say why in the system's words when the folder itself refuses a new file.
            const PathSplit split = splitAfterLastSeparator(m_path);
            const std::string folder = split.folder.empty() ? std::string(".") : split.folder;
            FileDescriptor probe(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
            if (!probe.valid() && errno != EOPNOTSUPP && errno != EISDIR)
                notKept("cannot write in " + folder + ": " + std::strerror(errno));
            else
                notKept(std::string(kFileName) + ": " + error.what());
            return Outcome::NotKept;
        }
        damage = error.what();
    }
    if (!moveAside(damage)) {
        notKept(std::string(kFileName) + " is damaged (" + damage +
                ") and cannot be moved aside: " + std::strerror(errno));
        return Outcome::NotKept;
    }
    return Outcome::Damaged;
}

bool HistoryStore::moveAside(const std::string &why)
{
    m_connection.reset();
    FileDescriptor held(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!held.valid())
        return errno == ENOENT; // another process moved it meanwhile
    // One process at a time judges and moves the file. A file that another process has replaced
    // by now, or that reads as a sound history of ours once the lock is held, stays.
    while (::flock(held.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat heldStat
    {
    };
    struct stat pathStat
    {
    };
    if (::fstat(held.get(), &heldStat) != 0 || ::stat(m_path.c_str(), &pathStat) != 0 ||
        heldStat.st_dev != pathStat.st_dev || heldStat.st_ino != pathStat.st_ino)
        return true;
    try {
        SQLite::Database check(m_path, SQLite::OPEN_READWRITE, kBusyTimeoutMs);
        if (!foreignness(check) && check.execAndGet("PRAGMA quick_check(1)").getString() == "ok")
            return true;
    } catch (const SQLite::Exception &) {
        // Damaged indeed.
    }

    const std::string stem = m_path + ".damaged-" + localDateText();
    std::string aside = stem;
    for (int number = 2; !renameNoReplace(m_path, aside); ++number) {
        if (errno != EEXIST || number > 999)
            return false;
        aside = stem + "-" + std::to_string(number);
    }
    // Its journal goes with it: a fresh database must never take its pages in.
    renameNoReplace(m_path + "-wal", aside + "-wal");
    ::unlink((m_path + "-shm").c_str());
    m_notices.push_back("The play history " + std::string(kFileName) + " was damaged (" + why + "): it was renamed " +
                        splitAfterLastSeparator(aside).name + " and a new history was started.");
    return true;
}

void HistoryStore::notKept(const std::string &reason)
{
    m_connection.reset();
    m_gaveUp = true;
    m_lockedOut = false;
    m_notKeptReason = "it is not kept: " + reason;
    m_notices.push_back("Play history is not kept: " + reason + ".");
}

template <typename Body> HistoryStore::Result HistoryStore::run(bool writes, const Body &body)
{
    // A read shows the plays that waited for a lock, once they can be written.
    if (!writes && !m_waiting.empty())
        retryWaitingWrites();
    if (!reopenIfLockedOut()) {
        if (!writes)
            m_unreadable = m_lockedOut ? kLockedReason : m_notKeptReason;
        return m_lockedOut ? Result::Locked : Result::Failed;
    }
    for (int attempt = 0; attempt < 2 && m_connection; ++attempt) {
        try {
            body(*m_connection);
            if (!writes)
                m_unreadable.clear();
            m_connection->database.setBusyTimeout(m_busyTimeoutMs);
            return Result::Done;
        } catch (const SQLite::Exception &error) {
            if (isLock(error)) {
                // Found held once: the next calls do not wait as long for it.
                m_connection->database.setBusyTimeout(kLockedRetryMs);
                if (writes)
                    lockedBy();
                else
                    m_unreadable = kLockedReason;
                return Result::Locked;
            }
            if (!isDamage(error)) {
                bool &told = writes ? m_toldWriteFailure : m_toldReadFailure;
                if (!told)
                    m_notices.push_back(std::string("The play history could not be ") +
                                        (writes ? "written: " : "read: ") + error.what() + ".");
                told = true;
                if (!writes)
                    m_unreadable = error.what();
                return Result::Failed;
            }
            if (!moveAside(error.what())) {
                notKept(std::string(kFileName) + " is damaged (" + error.what() +
                        ") and cannot be moved aside: " + std::strerror(errno));
                break;
            }
            open();
        }
    }
    if (!writes)
        m_unreadable = m_notKeptReason;
    return Result::Failed;
}

bool HistoryStore::write(Write body)
{
    if (retryWaitingWrites()) {
        const Result result = run(true, body);
        if (result != Result::Locked)
            return result == Result::Done;
    }
    if (m_waiting.size() >= kMostWaitingWrites) {
        m_waiting.pop_front();
        if (!m_toldDropped)
            m_notices.push_back("The play history " + std::string(kFileName) +
                                " stayed locked by another program"
                                " too long: the oldest plays kept meanwhile were dropped.");
        m_toldDropped = true;
    }
    m_waiting.push_back(std::move(body));
    return false;
}

bool HistoryStore::retryWaitingWrites()
{
    while (!m_waiting.empty()) {
        if (run(true, m_waiting.front()) == Result::Locked)
            return false;
        m_waiting.pop_front();
        if (m_waiting.empty())
            m_toldLocked = false; // a later lock is said again
    }
    return true;
}

bool HistoryStore::recordPlay(const std::string &path, const SystemKey &system, std::int64_t startedAtMs)
{
    return write([=](Connection &connection) {
        SQLite::Transaction transaction(connection.database, SQLite::TransactionBehavior::IMMEDIATE);
        Use statement(connection.recordPlay);
        bindBytes(*statement, 1, path);
        bindSystem(*statement, 2, system);
        statement->bind(4, static_cast<int64_t>(startedAtMs));
        statement->exec();
        transaction.commit();
    });
}

bool HistoryStore::addPlayedTime(const std::string &path, std::int64_t ms)
{
    return write([=](Connection &connection) {
        SQLite::Transaction transaction(connection.database, SQLite::TransactionBehavior::IMMEDIATE);
        Use statement(connection.addPlayedTime);
        bindBytes(*statement, 1, path);
        statement->bind(2, static_cast<int64_t>(std::max<std::int64_t>(ms, 0)));
        statement->exec();
        transaction.commit();
    });
}

bool HistoryStore::setFavourite(const std::string &path, const SystemKey &system, bool favourite)
{
    return write([=](Connection &connection) {
        SQLite::Transaction transaction(connection.database, SQLite::TransactionBehavior::IMMEDIATE);
        {
            Use statement(connection.setFavourite);
            bindBytes(*statement, 1, path);
            bindSystem(*statement, 2, system);
            statement->bind(4, favourite ? 1 : 0);
            statement->exec();
        }
        Use drop(connection.dropIfEmpty);
        bindBytes(*drop, 1, path);
        drop->exec();
        transaction.commit();
    });
}

bool HistoryStore::forget(const std::string &path)
{
    return write([=](Connection &connection) {
        SQLite::Transaction transaction(connection.database, SQLite::TransactionBehavior::IMMEDIATE);
        for (SQLite::Statement *each : {&connection.forget, &connection.dropIfEmpty}) {
            Use statement(*each);
            bindBytes(*statement, 1, path);
            statement->exec();
        }
        transaction.commit();
    });
}

std::vector<RomHistory> HistoryStore::favourites(const SystemKey &system)
{
    std::vector<RomHistory> rows;
    run(false, [&](Connection &connection) {
        rows.clear();
        Use statement(viewOf(system, connection.favourites, connection.favouritesIn));
        bindView(*statement, 1, system);
        while (statement->executeStep())
            rows.push_back(historyOf(*statement));
    });
    const auto nameOf = [](const RomHistory &history) {
        return std::string_view(history.path).substr(history.path.rfind(kPathSeparator) + 1);
    };
    std::sort(rows.begin(), rows.end(), [&](const RomHistory &a, const RomHistory &b) {
        const int byName = NameOrder::compare(nameOf(a), nameOf(b));
        return byName != 0 ? byName < 0 : a.path < b.path;
    });
    return rows;
}

std::vector<RomHistory> HistoryStore::recentlyPlayed(const SystemKey &system, int limit)
{
    std::vector<RomHistory> rows;
    run(false, [&](Connection &connection) {
        rows.clear();
        Use statement(viewOf(system, connection.recentlyPlayed, connection.recentlyPlayedIn));
        bindView(*statement, 1, system);
        statement->bind(3, limit);
        while (statement->executeStep())
            rows.push_back(historyOf(*statement));
    });
    return rows;
}

std::vector<std::string> HistoryStore::favouritePaths(const SystemKey &system)
{
    std::vector<std::string> paths;
    run(false, [&](Connection &connection) {
        paths.clear();
        Use statement(viewOf(system, connection.favouritePaths, connection.favouritePathsIn));
        bindView(*statement, 1, system);
        while (statement->executeStep())
            paths.push_back(bytesOf(statement->getColumn(0)));
    });
    return paths;
}

std::optional<RomHistory> HistoryStore::find(const std::string &path)
{
    std::optional<RomHistory> found;
    run(false, [&](Connection &connection) {
        found.reset();
        Use statement(connection.find);
        bindBytes(*statement, 1, path);
        if (statement->executeStep())
            found = historyOf(*statement);
    });
    return found;
}

std::vector<std::string> HistoryStore::takeNotices()
{
    return std::exchange(m_notices, {});
}

} // namespace marlit
