// The play history's views in the window, against a real history file and real folders:
// "Favourites" and "Recently Played" gather a system's ROMs from its folders, follow the search,
// grey a ROM that is no longer on disk (and one removed while shown), start the ROM of a row
// from its own folder, and follow plays and favourite marks.

#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/history/HistoryStore.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/history/PlayHistory.h"
#include "gui/ui/HistoryViews.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

using marlit::HistoryStore;
using marlit::SystemKey;
using marlit::test::TempDir;

namespace {

const SystemKey kNes{"console.ini", "NES"};

std::string record(const std::string &name, const std::string &romDirectory, const std::string &emulator)
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory + "\r\nEMU = " + emulator +
           "\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

// The "Console" tab and its first system remembered, no snapshots.
std::string settingsOnConsole()
{
    return marlit::test::SettingsBytes{true, true, 0, 640, 480, 1, 0}.bytes();
}

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Each row as the list shows it: its name, "(gone)" when greyed, and its play line.
QStringList shown(RomListBox &list)
{
    QStringList rows;
    for (int row = 0; row < list.count(); ++row) {
        const QModelIndex index = list.model()->index(row, 0);
        QString text = index.data().toString();
        if (index.data(RomListModel::MissingRole).toBool())
            text += QStringLiteral(" (gone)");
        if (const QString detail = index.data(RomListModel::DetailRole).toString(); !detail.isEmpty())
            text += QStringLiteral(" | ") + detail;
        rows << text;
    }
    return rows;
}

} // namespace

class HistoryViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void viewsGatherFollowAndPlay();
    void lateAnswersNeverOverwriteWhatIsShown();
    void historyLockedBeforeStartSaysSoAndShowsItOnceFree();
};

void HistoryViewsTest::viewsGatherFollowAndPlay()
{
    TempDir dir;
    const auto rom = [&](const std::string &relative) { return dir.file("roms/" + relative); };
    dir.write("roms/Zelda (U).nes");
    dir.write("roms/MARIO.NES");
    dir.write("roms/Japan/Mario (J).nes");
    dir.write("emu/stand-in.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + dir.file("launch.part") + "' && mv '" +
                                     dir.file("launch.part") + "' '" + dir.file("launch.log") + "'\n");
    QCOMPARE(::chmod(dir.file("emu/stand-in.sh").c_str(), 0755), 0);
    dir.write("console.ini", record("NES", rom(""), dir.file("emu/stand-in.sh")));
    dir.write("marlit.cfg", settingsOnConsole());
    const std::int64_t dayAgo = nowMs() - 86'400'000;
    {
        HistoryStore store(dir.file(HistoryStore::kFileName));
        store.open();
        for (const char *favourite : {"MARIO.NES", "Japan/Mario (J).nes", "Gone.nes"})
            QVERIFY(store.setFavourite(rom(favourite), kNes, true));
        QVERIFY(store.setFavourite("/elsewhere/Other System.nes", {"console.ini", "Other"}, true));
        QVERIFY(store.recordPlay(rom("Gone.nes"), kNes, dayAgo - 1000));
        QVERIFY(store.recordPlay(rom("Japan/Mario (J).nes"), kNes, dayAgo));
        QVERIFY(store.addPlayedTime(rom("Japan/Mario (J).nes"), 8'040'000));
        QVERIFY(store.recordPlay(rom("Zelda (U).nes"), kNes, dayAgo + 1000));
    }

    MainFrame frame(dir.path());
    QVERIFY(frame.romFolderReader().waitForIdle());
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    auto *tree = frame.findChild<RomFolderTree *>(QStringLiteral("folderTree"));
    auto *list = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    const auto choose = [&](RomFolderTree::View view) {
        tree->setCurrentItem(view == RomFolderTree::View::Folder ? tree->romsItem() : tree->viewItem(view));
    };

    // The system's favourites by name wherever they live, the one no longer on disk greyed.
    choose(RomFolderTree::View::Favourites);
    QTRY_COMPARE(shown(*list), (QStringList{"Gone.nes (gone)", "Mario (J).nes", "MARIO.NES"}));
    QVERIFY(list->romModel()->isFavourite(1));
    QCOMPARE(list->placeholder(), QString());

    // The search applies; it empties the view without a word about an empty history.
    frame.findChild<QLineEdit *>(QStringLiteral("searchEdit"))->setText(QStringLiteral("*(j)*"));
    frame.OnApplyClear();
    QTRY_COMPARE(shown(*list), QStringList{"Mario (J).nes"});
    frame.findChild<QLineEdit *>(QStringLiteral("searchEdit"))->setText(QStringLiteral("nothing such"));
    frame.OnApplyClear();
    frame.OnApplyClear();
    QTRY_COMPARE(list->count(), 0);
    QCOMPARE(list->placeholder(), QString());
    frame.OnApplyClear(); // cleared

    // The latest plays, newest first, each with its plays drawn at its right.
    choose(RomFolderTree::View::RecentlyPlayed);
    QTRY_COMPARE(shown(*list), (QStringList{"Zelda (U).nes | 1 play \u00B7 under 1 min \u00B7 yesterday",
                                            "Mario (J).nes | 1 play \u00B7 2 h 14 min \u00B7 yesterday",
                                            "Gone.nes (gone) | 1 play \u00B7 under 1 min \u00B7 yesterday"}));

    // Enter starts the selected row's ROM from its own folder; the play moves it to the top,
    // still selected.
    list->setCurrentRow(1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(dir.exists("launch.log"), 10000);
    QCOMPARE(dir.read("launch.log"), rom("Japan/Mario (J).nes"));
    QTRY_COMPARE_WITH_TIMEOUT(shown(*list).value(0),
                              QStringLiteral("Mario (J).nes | 2 plays \u00B7 2 h 14 min \u00B7 today"), 10000);
    QCOMPARE(list->currentRow(), 0);

    // A ROM removed while shown is greyed, one put back is not.
    QCOMPARE(::rename(rom("Japan/Mario (J).nes").c_str(), rom("Gone.nes").c_str()), 0);
    QTRY_COMPARE(shown(*list).value(0),
                 QStringLiteral("Mario (J).nes (gone) | 2 plays \u00B7 2 h 14 min \u00B7 today"));
    QCOMPARE(shown(*list).value(2), QStringLiteral("Gone.nes | 1 play \u00B7 under 1 min \u00B7 yesterday"));

    // A favourite unmarked in "Favourites" keeps its row without its star until chosen again.
    choose(RomFolderTree::View::Favourites);
    QTRY_COMPARE(list->count(), 3);
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(!list->romModel()->isFavourite(2));
    QCOMPARE(list->count(), 3);
    QVERIFY(frame.playHistory().finish(std::chrono::seconds(20)));
    choose(RomFolderTree::View::Folder);
    QTRY_COMPARE(list->count(), 3); // the folder's files again: Gone.nes, MARIO.NES, Zelda (U).nes
    choose(RomFolderTree::View::Favourites);
    QTRY_COMPARE(shown(*list), (QStringList{"Gone.nes", "Mario (J).nes (gone)"}));
}

// The user switches views faster than the history answers: only the view chosen last fills the
// list, and an answer that comes after the folder was chosen again is dropped, however long one
// waits.
void HistoryViewsTest::lateAnswersNeverOverwriteWhatIsShown()
{
    TempDir dir;
    const auto rom = [&](const std::string &relative) { return dir.file("roms/" + relative); };
    for (const char *name : {"A.nes", "B.nes", "C.nes"})
        dir.write(std::string("roms/") + name);
    dir.write("console.ini", record("NES", rom(""), "/bin/true"));
    dir.write("marlit.cfg", settingsOnConsole());
    {
        HistoryStore store(dir.file(HistoryStore::kFileName));
        store.open();
        QVERIFY(store.setFavourite(rom("B.nes"), kNes, true));
        QVERIFY(store.recordPlay(rom("C.nes"), kNes, nowMs() - 86'400'000));
    }
    MainFrame frame(dir.path());
    QVERIFY(frame.romFolderReader().waitForIdle());
    auto *tree = frame.findChild<RomFolderTree *>(QStringLiteral("folderTree"));
    auto *list = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    const QStringList folder{"A.nes", "B.nes", "C.nes"};
    QTRY_COMPARE(shown(*list), folder);

    for (int round = 0; round < 3; ++round) {
        tree->setCurrentItem(tree->viewItem(RomFolderTree::View::Favourites));
        tree->setCurrentItem(tree->viewItem(RomFolderTree::View::RecentlyPlayed));
        tree->setCurrentItem(tree->romsItem());
        QTRY_COMPARE(shown(*list), folder);
        QTest::qWait(300); // any answer still on its way
        QCOMPARE(shown(*list), folder);
    }
    tree->setCurrentItem(tree->viewItem(RomFolderTree::View::Favourites));
    tree->setCurrentItem(tree->viewItem(RomFolderTree::View::RecentlyPlayed));
    QTRY_COMPARE(shown(*list), QStringList{"C.nes | 1 play \u00B7 under 1 min \u00B7 yesterday"});
    QTest::qWait(300);
    QCOMPARE(shown(*list), QStringList{"C.nes | 1 play \u00B7 under 1 min \u00B7 yesterday"});
}

// Another program holds the history locked as the window opens: the view says that the history
// cannot be read, never that nothing was played, and shows the plays by itself once it is free.
void HistoryViewsTest::historyLockedBeforeStartSaysSoAndShowsItOnceFree()
{
    TempDir dir;
    dir.write("roms/C.nes");
    dir.write("console.ini", record("NES", dir.file("roms/"), "/bin/true"));
    dir.write("marlit.cfg", settingsOnConsole());
    {
        HistoryStore store(dir.file(HistoryStore::kFileName));
        store.open();
        QVERIFY(store.recordPlay(dir.file("roms/C.nes"), kNes, nowMs() - 86'400'000));
    }
    // A whole-file record lock, as SQLite takes them, held until its standard input closes.
    QProcess holder;
    holder.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import fcntl, sys\nf = open(sys.argv[1], 'r+')\nfcntl.lockf(f, fcntl.LOCK_EX | "
                                 "fcntl.LOCK_NB)\nprint('locked', flush=True)\nsys.stdin.read()\n"),
                  QString::fromStdString(dir.file(HistoryStore::kFileName))});
    QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine(), 10000);
    QCOMPARE(holder.readLine(), QByteArray("locked\n"));

    MainFrame frame(dir.path());
    QVERIFY(frame.romFolderReader().waitForIdle());
    auto *tree = frame.findChild<RomFolderTree *>(QStringLiteral("folderTree"));
    auto *list = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    tree->setCurrentItem(tree->viewItem(RomFolderTree::View::RecentlyPlayed));
    QTRY_COMPARE_WITH_TIMEOUT(list->placeholder(),
                              QStringLiteral("The play history cannot be read: it is locked by another program."),
                              HistoryStore::kBusyTimeoutMs * 3);
    QCOMPARE(list->count(), 0);

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QTRY_COMPARE_WITH_TIMEOUT(shown(*list), QStringList{"C.nes | 1 play \u00B7 under 1 min \u00B7 yesterday"},
                              static_cast<int>(HistoryViews::kReadAgain.count()) * 3);
    QCOMPARE(list->placeholder(), QString());
}

QTEST_MAIN(HistoryViewsTest)
#include "tst_historyviews.moc"
