#pragma once

#include "core/history/HistoryWorker.h"
#include "core/history/RomHistory.h"

#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace marlit {
class HistoryStore;
}

// The window's way to the play history of its working folder. Every write and every question
// goes to the history's own thread (HistoryWorker); the calls only queue, so recording never
// holds up the window. Answers come back on the UI thread, newest only: each kind of question
// has its own generation, and an answer to a question asked again since, or cancelled, is
// dropped, as is every answer once this object is gone.
//
// It also follows launches: the window says which ROM of which system a launch id started, and
// the starter's reports of that launch become a play and its time.
class PlayHistory : public QObject
{
    Q_OBJECT

public:
    enum class Question { Stars, View, Summary, Plays };
    static constexpr int kQuestions = 4;
    static constexpr int kRecentLimit = 100;
    static constexpr int kPlayedLimit = 200'000;
    // How often writes kept while the history is locked are tried again.
    static constexpr std::chrono::milliseconds kLockedRetry{3000};

    // A view's rows, or why the history could not be read ("" when it was).
    struct ViewAnswer
    {
        std::vector<marlit::RomHistory> rows;
        std::string unreadable;
    };

    // The history of workFolder ("" for the working directory, else ending with the separator).
    explicit PlayHistory(const std::string &workFolder, QObject *parent = nullptr);
    ~PlayHistory() override;

    void recordPlay(const std::string &path, const marlit::SystemKey &system, std::int64_t startedAtMs);
    void addPlayedTime(const std::string &path, std::int64_t ms);
    void setFavourite(const std::string &path, const marlit::SystemKey &system, bool favourite);
    void forget(const std::string &path);

    // The paths of the system's favourites, for the stars of its rows.
    void requestFavouritePaths(const marlit::SystemKey &system,
                               std::function<void(std::unordered_set<std::string> &&)> answer);
    // The system's favourites by name, or its latest plays (at most kRecentLimit), newest first.
    void requestFavourites(const marlit::SystemKey &system, std::function<void(ViewAnswer &&)> answer);
    void requestRecentlyPlayed(const marlit::SystemKey &system, std::function<void(ViewAnswer &&)> answer);
    // Every ROM of the system played at least once (at most kPlayedLimit), newest first: the ROM
    // list's order by plays.
    void requestPlayed(const marlit::SystemKey &system, std::function<void(std::vector<marlit::RomHistory> &&)> answer);
    // What the history holds of one ROM; nothing when it holds nothing.
    void requestSummary(const std::string &path, std::function<void(std::optional<marlit::RomHistory> &&)> answer);
    // Drops the answer still to come to a question.
    void cancel(Question question);

    // A launch the window just started: path of system. Its play is recorded once the starter
    // says it counts, with the time of this call as its start.
    void expectPlay(quint64 launchId, std::string path, marlit::SystemKey system);

    // The starter's reports of a launch: it counts as a play; it ended after played.
    void playStarted(quint64 launchId);
    void playEnded(quint64 launchId, std::chrono::milliseconds played);

    // Waits, at most bound, until everything asked so far is written (the window calls it as it
    // closes); false when the time ran out. Plays still kept for a locked history are said on
    // standard error.
    bool finish(std::chrono::milliseconds bound);

signals:
    // Something the user should be told once: a damaged history moved aside, a history that is
    // not kept, a write that failed.
    void notice(const QString &text);

private slots:
    void deliver();

private:
    struct Mailbox;
    struct Launch
    {
        std::string path;
        marlit::SystemKey system;
        std::int64_t startedAtMs = 0;
        std::chrono::steady_clock::time_point asked;
        bool counted = false;
    };

    // Runs job on the worker, then hands what the store has to say to the UI thread.
    void post(std::function<void(marlit::HistoryStore &)> job);
    // Tries the writes kept for a locked history again in a while.
    void planRetry();
    // Asks question on the worker; answer gets the result on the UI thread if still the newest.
    template <typename Result>
    void ask(Question question, std::function<Result(marlit::HistoryStore &)> work,
             std::function<void(Result &&)> answer);

    std::shared_ptr<Mailbox> m_mailbox;
    std::array<quint64, kQuestions> m_generations{};
    std::unordered_map<quint64, Launch> m_launches;
    bool m_retryPlanned = false;
    marlit::HistoryWorker m_worker; // last: its thread stops before the rest goes
};
