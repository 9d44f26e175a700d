// Launch feedback as a user meets it: a start that fails, or an emulator that ends at once with a
// failure, is said in a notice over the bottom of the list, with the command line to copy; a start
// that works says nothing, counts as a play until the emulator ends, and nothing of it is kept.

#include "TempDir.h"

#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <filesystem>
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
    void hugeCommandLineIsShownByItsEndsAndCopiedWhole();
    void earlyFailureIsSaidWhenItEndsAndTheNextStartClearsIt();
    void playLastsFromTheStartUntilTheEmulatorEndsOrTheWatchesEnd();
    void stopEndsOnlyItsOwnGamesAndKillsOneThatIgnoresTheRequest();

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
    // A name in Latin-1 is copied as the bytes it has, in a form a shell reads back, not as U+FFFD.
    starter.start({program, {"-fs", "/roms/Zelda (U) [!] \xe9.nes"}, ""});

    QVERIFY(notice->isVisible());
    QCOMPARE(notice->message(), QStringLiteral("Cannot start the emulator: No such file or directory"));
    QCOMPARE(notice->commandLine(), QString::fromStdString("'" + program + "' -fs '/roms/Zelda (U) [!] '$'\\351'.nes"));
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

void EmulatorStarterTest::hugeCommandLineIsShownByItsEndsAndCopiedWhole()
{
    EmulatorStarter starter(m_list.get());
    LaunchNotice *notice = starter.notice();
    const std::string program = m_dir->file("no such emu");
    starter.start({program, {"BEGIN" + std::string(3 << 20, 'x') + "END"}, ""});

    QVERIFY(notice->isVisible());
    const QString whole = notice->commandLine();
    QCOMPARE(whole.size(), qsizetype(program.size() + 2 + 1 + 5 + (3 << 20) + 3));
    // What is laid out is bounded, and shows both ends.
    const auto *label = notice->findChild<QLabel *>(QStringLiteral("launchNoticeCommand"));
    QVERIFY(label);
    for (const QString &shown : {label->text(), label->toolTip()}) {
        QVERIFY2(shown.size() <= 2 * LaunchNotice::kShownCommandEnd + 1, qPrintable(QString::number(shown.size())));
        QVERIFY(shown.startsWith(QLatin1Char('\'')));
        QVERIFY(shown.endsWith(QStringLiteral("END")));
    }
    QTest::mouseClick(notice->findChild<QPushButton *>(QStringLiteral("launchNoticeCopy")), Qt::LeftButton);
    QVERIFY(QApplication::clipboard()->text() == whole);
}

void EmulatorStarterTest::earlyFailureIsSaidWhenItEndsAndTheNextStartClearsIt()
{
    // 4123 bytes on standard error, the last line in colour: the last 4096 begin within
    // "emu: line 2", so the notice has line 3 on, down to the last word, shown without the codes.
    m_dir->write("fails.sh", "#!/bin/sh\ni=0\nwhile [ $i -lt 300 ]; do echo \"emu: line $i\"; i=$((i+1)); done >&2\n"
                             "printf '\\033[1;31memu: cannot open ROM\\033[0m\\r\\n' >&2\nexit 3\n");
    QStringList lastLines;
    for (int line = 3; line < 300; ++line)
        lastLines << QStringLiteral("emu: line %1").arg(line);
    const QString shownLines = lastLines.join(QLatin1Char('\n')) + QStringLiteral("\nemu: cannot open ROM");
    lastLines << QStringLiteral("\x1b[1;31memu: cannot open ROM\x1b[0m");
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
    QCOMPARE(notice->emulatorOutput(), lastLines.join(QLatin1Char('\n')));
    // Its own rows, scrolled to the end, inside the notice inside the list.
    const auto *output = notice->findChild<QPlainTextEdit *>(QStringLiteral("launchNoticeOutput"));
    QVERIFY(output && output->isVisible());
    QCOMPARE(output->toPlainText(), shownLines);
    QVERIFY(output->verticalScrollBar()->maximum() > 0);
    QCOMPARE(output->verticalScrollBar()->value(), output->verticalScrollBar()->maximum());
    QVERIFY(m_list->rect().contains(notice->geometry()));
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

    // One that says why on standard output only: the notice says it too, with the error's lines.
    m_dir->write("says.sh", "#!/bin/sh\necho 'Starting up'\necho 'Error opening CD: No tracks found!'\n"
                            "echo 'bad ROM' >&2\nexit 255\n");
    chmod(m_dir->file("says.sh").c_str(), 0755);
    starter.start({m_dir->file("says.sh"), {}, m_dir->path()});
    QVERIFY(finished.wait(10000));
    QCOMPARE(notice->message(), QStringLiteral("The emulator ended with status 255"));
    QCOMPARE(notice->emulatorOutput(), QStringLiteral("Starting up\nError opening CD: No tracks found!\nbad ROM"));
}

void EmulatorStarterTest::playLastsFromTheStartUntilTheEmulatorEndsOrTheWatchesEnd()
{
    // One ends by itself 1.5 s after its first seconds; one runs on until the window closes.
    m_dir->write("ends.sh", "#!/bin/sh\nsleep 4.5\n");
    m_dir->write("stays.sh", "#!/bin/sh\necho $$ > stays.part && mv stays.part stays.pid\nexec sleep 30\n");
    chmod(m_dir->file("ends.sh").c_str(), 0755);
    chmod(m_dir->file("stays.sh").c_str(), 0755);
    auto starter = std::make_unique<EmulatorStarter>(m_list.get());
    QSignalSpy started(starter.get(), &EmulatorStarter::playStarted);
    QSignalSpy ended(starter.get(), &EmulatorStarter::playEnded);
    QElapsedTimer clock;
    clock.start();

    const quint64 endsId = starter->start({m_dir->file("ends.sh"), {}, m_dir->path()});
    QVERIFY(started.wait(10000));
    QCOMPARE(started.at(0).at(0).value<quint64>(), endsId);
    QVERIFY(ended.isEmpty());

    // Started while we hold the first one's pidfd: it gets nothing of ours.
    const quint64 staysId = starter->start({m_dir->file("stays.sh"), {}, m_dir->path()});
    QTRY_VERIFY_WITH_TIMEOUT(m_dir->exists("stays.pid"), 10000);
    const pid_t stays = static_cast<pid_t>(std::stol(m_dir->read("stays.pid")));
    const std::string script = std::filesystem::canonical(m_dir->file("stays.sh")).string();
    for (const auto &entry : std::filesystem::directory_iterator("/proc/" + std::to_string(stays) + "/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        const std::string target = std::filesystem::read_symlink(entry).string();
        QVERIFY2(fd <= 2 || target == script, target.c_str()); // the shell's own, on its script
    }

    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.at(0).at(0).value<quint64>(), endsId);
    const auto endsPlayed = ended.at(0).at(1).value<std::chrono::milliseconds>();
    QVERIFY2(endsPlayed.count() >= 4500 && endsPlayed.count() <= clock.elapsed(),
             qPrintable(QString::number(endsPlayed.count())));
    ended.clear();
    started.clear();
    QVERIFY(started.wait(10000));
    QCOMPARE(started.at(0).at(0).value<quint64>(), staysId);

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

void EmulatorStarterTest::stopEndsOnlyItsOwnGamesAndKillsOneThatIgnoresTheRequest()
{
    // One ends when asked; one ignores SIGTERM; one is told while still in its first seconds;
    // and a process of the same kind that Marlit did not start is never touched.
    m_dir->write("polite.sh", "#!/bin/sh\necho $$ > polite.part && mv polite.part polite.pid\nexec sleep 60\n");
    m_dir->write("stubborn.sh", "#!/bin/sh\ntrap '' TERM\necho $$ > stubborn.part && mv stubborn.part stubborn.pid\n"
                                "while :; do sleep 0.1; done\n");
    chmod(m_dir->file("polite.sh").c_str(), 0755);
    chmod(m_dir->file("stubborn.sh").c_str(), 0755);
    QProcess stranger;
    stranger.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(stranger.waitForStarted());
    auto starter = std::make_unique<EmulatorStarter>(m_list.get());
    QSignalSpy running(starter.get(), &EmulatorStarter::gameRunningChanged);
    QSignalSpy started(starter.get(), &EmulatorStarter::playStarted);
    QSignalSpy ended(starter.get(), &EmulatorStarter::playEnded);

    starter->start({m_dir->file("polite.sh"), {}, m_dir->path()});
    starter->start({m_dir->file("stubborn.sh"), {}, m_dir->path()});
    QCOMPARE(running.size(), 1);
    QVERIFY(starter->gameRunning());
    QTRY_VERIFY_WITH_TIMEOUT(m_dir->exists("polite.pid") && m_dir->exists("stubborn.pid"), 10000);
    // The grace runs from the request: timed from there, not from when the starts are reported.
    QElapsedTimer clock;
    clock.start();
    starter->stop(); // both still in their first seconds
    QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 5000); // the polite one at once
    QVERIFY(starter->gameRunning());
    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 10000); // the stubborn one after the grace
    QVERIFY2(clock.elapsed() >= EmulatorStarter::kStopGrace.count() - 100, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!starter->gameRunning());
    QCOMPARE(running.size(), 2);
    QCOMPARE(running.at(1).at(0).toBool(), false);
    QCOMPARE(stranger.state(), QProcess::Running);
    starter->stop(); // nothing left: nothing happens
    stranger.kill();
    stranger.waitForFinished();
}

QTEST_MAIN(EmulatorStarterTest)
#include "tst_emulatorstarter.moc"
