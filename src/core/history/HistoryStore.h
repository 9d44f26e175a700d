#pragma once

#include "core/history/RomHistory.h"

#include <cstdint>
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

    explicit HistoryStore(std::string databasePath);
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

    // What the user should be told since the last call, oldest first.
    std::vector<std::string> takeNotices();

private:
    enum class Outcome { Opened, Damaged, Busy, NotKept };
    struct Connection;

    Outcome tryOpen();
    // Renames the damaged database aside, unless another process did already or it is sound
    // after all; false when it could not be moved.
    bool moveAside(const std::string &why);
    void notKept(const std::string &reason);
    // Runs body on the open database; a damaged file is moved aside, a fresh one opened and body
    // run once more. false when it failed (said once per kind of call).
    template <typename Body> bool run(bool writes, const Body &body);

    std::string m_path;
    std::unique_ptr<Connection> m_connection;
    bool m_gaveUp = false;
    bool m_toldWriteFailure = false;
    bool m_toldReadFailure = false;
    std::vector<std::string> m_notices;
};

} // namespace marlit
