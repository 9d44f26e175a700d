// The window's way to the history, against a real database: answers come back on the UI thread
// and only the newest of each kind; launches become plays with their time; a history that cannot
// be kept says so once.

#include "TempDir.h"

#include "core/history/HistoryStore.h"
#include "gui/history/PlayHistory.h"

#include <QSignalSpy>
#include <QTest>

using marlit::HistoryStore;
using marlit::RomHistory;
using marlit::SystemKey;
using marlit::test::TempDir;

namespace {

const SystemKey kNes{"console.ini", "NES"};
const SystemKey kSnes{"console.ini", "SNES"};

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

class PlayHistoryTest : public QObject
{
    Q_OBJECT

private slots:
    void answersComeBackNewestOnly();
    void launchesBecomePlaysWithTheirTime();
    void historyThatCannotBeKeptSaysSoOnce();
};

void PlayHistoryTest::answersComeBackNewestOnly()
{
    TempDir dir;
    {
        HistoryStore store(dir.file(HistoryStore::kFileName));
        store.open();
        QVERIFY(store.setFavourite("/roms/nes/Zelda.nes", kNes, true));
        QVERIFY(store.setFavourite("/roms/snes/F-Zero.sfc", kSnes, true));
        QVERIFY(store.setFavourite("/roms/snes/Mario.sfc", kSnes, true));
        QVERIFY(store.recordPlay("/roms/snes/Mario.sfc", kSnes, 1000));
    }
    PlayHistory history(dir.path());
    QStringList answers;
    const auto stars = [&](const char *system) {
        return [&answers, system](std::unordered_set<std::string> &&paths) {
            answers << QStringLiteral("%1: %2").arg(QLatin1String(system)).arg(paths.size());
        };
    };

    // Asked for one system, then for another before the first answer could come: only the second.
    history.requestFavouritePaths(kNes, stars("NES"));
    history.requestFavouritePaths(kSnes, stars("SNES"));
    // Other kinds of question are answered each on their own.
    history.requestSummary("/roms/snes/Mario.sfc", [&](std::optional<RomHistory> &&found) {
        answers << QStringLiteral("summary: %1 play").arg(found ? found->plays : -1);
    });
    history.requestFavourites(
        kSnes, [&](PlayHistory::ViewAnswer &&view) { answers << QStringLiteral("view: %1").arg(view.rows.size()); });
    history.cancel(PlayHistory::Question::View); // left for another folder before it came
    QVERIFY(history.finish(std::chrono::seconds(20)));
    QTRY_COMPARE(answers.size(), 2);
    QTest::qWait(50);
    QCOMPARE(answers, (QStringList{"SNES: 2", "summary: 1 play"}));

    // An answer still on its way when the history goes is never handed over.
    {
        auto gone = std::make_unique<PlayHistory>(dir.path());
        gone->requestRecentlyPlayed(kSnes, [&](PlayHistory::ViewAnswer &&) { answers << "late"; });
        gone.reset();
    }
    QTest::qWait(100);
    QCOMPARE(answers.size(), 2);
}

void PlayHistoryTest::launchesBecomePlaysWithTheirTime()
{
    TempDir dir;
    const std::int64_t before = nowMs();
    {
        PlayHistory history(dir.path());
        history.expectPlay(1, "/roms/Zelda.nes", kNes);
        history.expectPlay(2, "/roms/Mario.sfc", kSnes);
        history.expectPlay(3, "/roms/Failed.nes", kNes);
        history.playStarted(1);
        history.playEnded(1, std::chrono::minutes(90));
        history.playStarted(2);
        history.playStarted(2);                         // said twice, counted once
        history.playEnded(3, std::chrono::seconds(1));  // ended within its watch with a failure
        history.playStarted(99);                        // a launch nobody asked for
        history.playEnded(2, std::chrono::seconds(75)); // the window closing with it still running
        history.playEnded(2, std::chrono::seconds(80)); // and once more: already over
        history.expectPlay(4, "/roms/Zelda.nes", kNes);
        history.playStarted(4);
        QVERIFY(history.finish(std::chrono::seconds(20)));
    }
    const std::int64_t after = nowMs();

    HistoryStore store(dir.file(HistoryStore::kFileName));
    store.open();
    const std::optional<RomHistory> zelda = store.find("/roms/Zelda.nes");
    QVERIFY(zelda);
    QCOMPARE(zelda->plays, 2);
    QCOMPARE(zelda->playedMs, 90 * 60'000);
    QVERIFY(zelda->lastPlayedMs >= before && zelda->lastPlayedMs <= after);
    const std::optional<RomHistory> mario = store.find("/roms/Mario.sfc");
    QVERIFY(mario);
    QCOMPARE(mario->plays, 1);
    QCOMPARE(mario->playedMs, 75'000);
    QCOMPARE(mario->system, kSnes);
    QVERIFY(!store.find("/roms/Failed.nes"));
}

void PlayHistoryTest::historyThatCannotBeKeptSaysSoOnce()
{
    TempDir dir;
    dir.write("not-a-folder", "a file where the working folder should be");
    PlayHistory history(dir.file("not-a-folder/"));
    QSignalSpy notices(&history, &PlayHistory::notice);
    for (quint64 launch = 1; launch <= 3; ++launch) {
        history.expectPlay(launch, "/roms/Zelda.nes", kNes);
        history.playStarted(launch);
        history.playEnded(launch, std::chrono::seconds(10));
    }
    history.setFavourite("/roms/Zelda.nes", kNes, true);
    QVERIFY(history.finish(std::chrono::seconds(20)));
    QTRY_COMPARE(notices.size(), 1);
    QTest::qWait(50);
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.front().front().toString(),
             QString::fromStdString("Play history is not kept: cannot write in " + dir.file("not-a-folder/") +
                                    ": Not a directory."));
}

QTEST_MAIN(PlayHistoryTest)
#include "tst_playhistory.moc"
