// Launch feedback as a user meets it: a start that fails, or an emulator that ends at once with a
// failure, is said in a notice over the bottom of the list, with the command line to copy; a start
// that works says nothing, counts as a play until the emulator ends, and nothing of it is kept.

#include "TempDir.h"

#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>

using marlit::test::TempDir;

class EmulatorStarterTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void missingProgramIsSaidAtOnceWithoutTakingTheFocus();
    void earlyFailureIsSaidWhenItEndsAndTheNextStartClearsIt();
    void playLastsFromTheStartUntilTheEmulatorEndsOrTheWatchesEnd();

private:
    // No child of ours is left, running or not reaped.
    static bool noChildLeft() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<QListWidget> m_list;
};

void EmulatorStarterTest::init()
{
    m_dir = std::make_unique<TempDir>();
    m_list = std::make_unique<QListWidget>();
    for (int row = 0; row < 50; ++row)
        m_list->addItem(QStringLiteral("Game %1.nes").arg(row));
    m_list->resize(400, 300);
    m_list->show();
    m_list->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_list.get()));
    m_list->setFocus();
}

void EmulatorStarterTest::cleanup()
{
    m_list.reset();
    m_dir.reset();
}

void EmulatorStarterTest::missingProgramIsSaidAtOnceWithoutTakingTheFocus()
{
    EmulatorStarter starter(m_list.get());
    LaunchNotice *notice = starter.notice();
    QVERIFY(!notice->isVisible());

    const std::string program = m_dir->file("My Emu/no such emu");
    starter.start({program, {"-fs", "/roms/Zelda (U) [!].nes"}, ""});

    QVERIFY(notice->isVisible());
    QCOMPARE(notice->message(), QStringLiteral("Cannot start the emulator: No such file or directory"));
    QCOMPARE(notice->commandLine(), QString::fromStdString("'" + program + "' -fs '/roms/Zelda (U) [!].nes'"));
    // Over the bottom of the list, inside it; the list keeps the keyboard.
    QCOMPARE(notice->parentWidget(), m_list.get());
    QVERIFY(m_list->rect().contains(notice->geometry()));
    QVERIFY(notice->geometry().bottom() > m_list->height() * 3 / 4);
    QVERIFY(m_list->hasFocus());

    QPushButton *copy = notice->findChild<QPushButton *>(QStringLiteral("launchNoticeCopy"));
    QVERIFY(copy);
    QTest::mouseClick(copy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), notice->commandLine());
    QVERIFY(m_list->hasFocus());
    QVERIFY(notice->isVisible());

    // Escape reaches the notice while the list has the focus.
    QTest::keyClick(m_list.get(), Qt::Key_Escape);
    QVERIFY(!notice->isVisible());
    QVERIFY(noChildLeft());
}

void EmulatorStarterTest::earlyFailureIsSaidWhenItEndsAndTheNextStartClearsIt()
{
    m_dir->write("fails.sh", "#!/bin/sh\necho 'emu: cannot open ROM' >&2\nexit 3\n");
    m_dir->write("works.sh", "#!/bin/sh\nexit 0\n");
    chmod(m_dir->file("fails.sh").c_str(), 0755);
    chmod(m_dir->file("works.sh").c_str(), 0755);
    EmulatorStarter starter(m_list.get());
    LaunchNotice *notice = starter.notice();
    QSignalSpy finished(&starter, &EmulatorStarter::watchFinished);
    QSignalSpy started(&starter, &EmulatorStarter::playStarted);
    QSignalSpy ended(&starter, &EmulatorStarter::playEnded);

    const quint64 failsId = starter.start({m_dir->file("fails.sh"), {"a b.nes"}, m_dir->path()});
    QVERIFY(failsId > 0);
    QVERIFY(!notice->isVisible()); // it started; how it ends is not known yet
    QVERIFY(finished.wait(10000));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->message(), QStringLiteral("The emulator ended with status 3"));
    QCOMPARE(notice->commandLine(), QString::fromStdString(m_dir->file("fails.sh") + " 'a b.nes'"));
    QVERIFY(noChildLeft());

    QVERIFY(started.isEmpty()); // an early failure is no play

    // The next start takes the notice away, and one that ends well says nothing but is a play.
    const quint64 worksId = starter.start({m_dir->file("works.sh"), {}, m_dir->path()});
    QVERIFY(worksId > failsId);
    QVERIFY(!notice->isVisible());
    QVERIFY(finished.wait(10000));
    QVERIFY(!notice->isVisible());
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.at(0).at(0).value<quint64>(), worksId);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<quint64>(), worksId);
    QVERIFY(noChildLeft());
}

void EmulatorStarterTest::playLastsFromTheStartUntilTheEmulatorEndsOrTheWatchesEnd()
{
    m_dir->write("stays.sh", "#!/bin/sh\necho $$ > stays.part && mv stays.part stays.pid\nexec sleep 30\n");
    chmod(m_dir->file("stays.sh").c_str(), 0755);
    auto starter = std::make_unique<EmulatorStarter>(m_list.get());
    QSignalSpy started(starter.get(), &EmulatorStarter::playStarted);
    QSignalSpy ended(starter.get(), &EmulatorStarter::playEnded);
    QElapsedTimer clock;
    clock.start();

    const quint64 staysId = starter->start({m_dir->file("stays.sh"), {}, m_dir->path()});
    QTRY_VERIFY_WITH_TIMEOUT(m_dir->exists("stays.pid"), 10000);
    const pid_t stays = static_cast<pid_t>(std::stol(m_dir->read("stays.pid")));
    QVERIFY(started.wait(10000));
    QCOMPARE(started.at(0).at(0).value<quint64>(), staysId);
    QVERIFY(ended.isEmpty());

    // The window closes while it runs: the time so far is the play's.
    starter->endWatches();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.at(0).at(0).value<quint64>(), staysId);
    const auto played = ended.at(0).at(1).value<std::chrono::milliseconds>();
    QVERIFY2(played >= EmulatorStarter::kWatchTime && played.count() <= clock.elapsed(),
             qPrintable(QString::number(played.count())));
    starter.reset(); // said once only
    QCOMPARE(ended.size(), 1);
    QVERIFY(kill(stays, 0) == 0); // the emulator runs on
    kill(stays, SIGTERM);
    QVERIFY(noChildLeft());
}

QTEST_MAIN(EmulatorStarterTest)
#include "tst_emulatorstarter.moc"
