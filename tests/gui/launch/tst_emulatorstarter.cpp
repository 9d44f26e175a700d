// Launch feedback as a user meets it: a start that fails, or an emulator that ends at once with a
// failure, is said in a notice over the bottom of the list, with the command line to copy; a start
// that works says nothing, and nothing of the emulator is kept.

#include "TempDir.h"

#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <cerrno>
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

    starter.start({m_dir->file("fails.sh"), {"a b.nes"}, m_dir->path()});
    QVERIFY(!notice->isVisible()); // it started; how it ends is not known yet
    QVERIFY(finished.wait(10000));
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->message(), QStringLiteral("The emulator ended with status 3"));
    QCOMPARE(notice->commandLine(), QString::fromStdString(m_dir->file("fails.sh") + " 'a b.nes'"));
    QVERIFY(noChildLeft());

    // The next start takes the notice away, and one that ends well says nothing.
    starter.start({m_dir->file("works.sh"), {}, m_dir->path()});
    QVERIFY(!notice->isVisible());
    QVERIFY(finished.wait(10000));
    QVERIFY(!notice->isVisible());
    QVERIFY(noChildLeft());
}

QTEST_MAIN(EmulatorStarterTest)
#include "tst_emulatorstarter.moc"
