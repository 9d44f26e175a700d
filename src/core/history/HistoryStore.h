#pragma once

#include "core/history/RomHistory.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace marlit {

// The play history of one working folder: per ROM its favourite mark, play count, time played,
// last play and the system it was played from, in the SQLite database "marlit-history.db"
// (WAL, a busy timeout, so that several Marlit processes in one folder all record; a schema
// version in user_version that later versions migrate).
//
// A database another program holds locked is not given up: its plays wait in memory, in order,
// and are written at the next call once the lock is gone (retryWaitingWrites tries at once);
// reads meanwhile say why they could not be made (unreadable).
//
// Nothing is ever lost for a damaged file: a file that is not a database, is corrupt, or belongs
// to another program is renamed aside with the date and a fresh history started. Where the
// database cannot be written, or was made by a newer Marlit, the history is not kept and every
// call does nothing. Each of these is said once, in a notice (takeNotices).
//
// One thread at a time; every call may wait for the disk and for other processes' writes.
class HistoryStore
{
public:
    static constexpr const char *kFileName = "marlit-history.db";
    static constexpr int kSchemaVersion = 2;
    static constexpr std::int32_t kApplicationId = 0x4D726C74; // "Mrlt"
    static constexpr int kBusyTimeoutMs = 5000;
    // How long a call waits for a lock that was already found held, so that a locked history
    // does not hold up each call as long as the first.
    static constexpr int kLockedRetryMs = 250;
    // Writes kept while the database is locked; beyond that the oldest are dropped, said once.
    static constexpr std::size_t kMostWaitingWrites = 10'000;

    explicit HistoryStore(std::string databasePath, int busyTimeoutMs = kBusyTimeoutMs);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens (creating or migrating) the database; until then every call does nothing.
    void open();
    bool kept() const;

    // Each write is one transaction; false when it could not be made.
    // A play that started at startedAtMs (milliseconds since the epoch) from system.
    bool recordPlay(const std::string &path, const SystemKey &system, std::int64_t startedAtMs);
    // Time played added to a ROM that has plays (not one forgotten meanwhile).
    bool addPlayedTime(const std::string &path, std::int64_t ms);
    // Marking a favourite also makes system the ROM's; unmarking keeps it.
    bool setFavourite(const std::string &path, const SystemKey &system, bool favourite);
    // Drops the plays, the time and the last play; the favourite mark stays.
    bool forget(const std::string &path);

    // The system's favourites, by file name as the ROM list orders names.
    std::vector<RomHistory> favourites(const SystemKey &system);
    // The system's ROMs with plays, the latest play first, at most limit.
    std::vector<RomHistory> recentlyPlayed(const SystemKey &system, int limit);
    // The paths of the system's favourites, in no order.
    std::vector<std::string> favouritePaths(const SystemKey &system);
    std::optional<RomHistory> find(const std::string &path);

    // Why the last read could not be made ("" when it was): its empty answer is no answer.
    const std::string &unreadable() const { return m_unreadable; }
    // Writes waiting for a lock to go, and a try to write them now; false while some still wait.
    std::size_t waitingWrites() const { return m_waiting.size(); }
    bool retryWaitingWrites();

    // What the user should be told since the last call, oldest first.
    std::vector<std::string> takeNotices();

private:
    enum class Outcome { Opened, Damaged, Busy, NotKept };
    enum class Result { Done, Locked, Failed };
    struct Connection;
    using Write = std::function<void(Connection &)>;

    Outcome tryOpen(int busyTimeoutMs);
    // Opens, waiting at most patienceMs for a lock; a lock still held leaves it locked out.
    void openWaiting(int patienceMs);
    // Opens again a database that was locked when last tried; false while it is not open.
    bool reopenIfLockedOut();
    // Runs write after those waiting; one refused by a lock waits in turn.
    bool write(Write body);
    // Says once that the database is locked and plays wait.
    void lockedBy();
    // Renames the damaged database aside, unless another process did already or it is sound
    // after all; false when it could not be moved.
    bool moveAside(const std::string &why);
    void notKept(const std::string &reason);
    // Runs body on the open database; a damaged file is moved aside, a fresh one opened and body
    // run once more. false when it failed (said once per kind of call).
    template <typename Body> Result run(bool writes, const Body &body);

    std::string m_path;
    int m_busyTimeoutMs;
    bool m_lockedOut = false; // the last open found the database locked: tried again at each call
    bool m_toldLocked = false;
    bool m_toldDropped = false;
    std::string m_notKeptReason;
    std::string m_unreadable;
    std::deque<Write> m_waiting;
    std::unique_ptr<Connection> m_connection;
    bool m_gaveUp = false;
    bool m_toldWriteFailure = false;
    bool m_toldReadFailure = false;
    std::vector<std::string> m_notices;
};

} // namespace marlit
