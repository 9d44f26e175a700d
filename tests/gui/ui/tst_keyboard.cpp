// The window and its dialogs driven by the keyboard alone, as a user without a mouse meets
// them: Tab reaches every control in reading order, Ctrl+F and Enter search, a focused button
// takes Enter, and the System Configuration dialog opens ready for the system's name.

#include "ModalAnswer.h"
#include "TempDir.h"

#include "gui/catalogue/SystemConfigDialog.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

using marlit::test::answerNextModal;
using marlit::test::TempDir;

namespace {

std::string record(const std::string &name, const std::string &romDirectory)
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

QString focusName()
{
    QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

std::vector<std::string> romNames(MainFrame &frame)
{
    [&] { QVERIFY(frame.romFolderReader().waitForIdle()); }();
    auto *list = frame.findChild<RomListBox *>(QStringLiteral("romList"));
    std::vector<std::string> names;
    for (int row = 0; row < list->count(); ++row)
        names.push_back(list->nameAt(row));
    return names;
}

} // namespace

class KeyboardTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TempDir>();
        m_dir->write("roms/MARIO.NES");
        m_dir->write("roms/Super Mario (U).zip");
        m_dir->write("roms/Zelda (U) [!].nes");
        m_dir->write("classic.ini", record("NES", m_dir->file("roms/")) + record("SNES", m_dir->file("roms/")));
        m_frame = std::make_unique<MainFrame>(m_dir->path());
        QVERIFY(m_frame->romFolderReader().waitForIdle()); // folders are read by reader processes
        m_frame->show();
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    }
    void cleanup()
    {
        m_frame.reset();
        m_dir.reset();
    }

    // From the ROM list, where an activated window puts the focus, Tab goes round every control
    // once in reading order, buttons included, and Shift+Tab comes back the same way.
    void tabReachesEveryControlInReadingOrder()
    {
        QTRY_COMPARE(focusName(), QStringLiteral("romList"));
        const QStringList order{"filterModeButton", "searchEdit", "applyButton", "categoryTabs", "systemList",
                                "folderTree",       "playButton", "setupButton", "configButton", "romList"};
        QStringList reached;
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << focusName();
        }
        QCOMPARE(reached, order);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(focusName(), QStringLiteral("configButton"));
    }

    // Ctrl+F from anywhere puts the focus in the search text, its old text selected; Enter
    // applies it, also over a text applied before; the list follows each time.
    void ctrlFAndEnterSearch()
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(focusName(), QStringLiteral("searchEdit"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("mario"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(romNames(*m_frame), (std::vector<std::string>{"MARIO.NES", "Super Mario (U).zip"}));
        auto *apply = m_frame->findChild<QPushButton *>(QStringLiteral("applyButton"));
        QCOMPARE(apply->text(), QStringLiteral("Clear"));

        m_frame->findChild<QWidget *>(QStringLiteral("romList"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(focusName(), QStringLiteral("searchEdit"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("zel")); // replaces "mario"
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QCOMPARE(romNames(*m_frame), std::vector<std::string>{"Zelda (U) [!].nes"});
        QCOMPARE(m_frame->romSearch().text(), std::string("zel"));
        QCOMPARE(apply->text(), QStringLiteral("Clear"));
    }

    // A button reached with Tab takes Enter: "Setup" opens the System Configuration dialog with
    // the focus in the system's name, where typing and Enter save it.
    void focusedButtonTakesEnterAndSetupOpensOnTheName()
    {
        auto *setup = m_frame->findChild<QPushButton *>(QStringLiteral("setupButton"));
        setup->setFocus(Qt::TabFocusReason);
        QString focused;
        answerNextModal([&](QWidget *modal) {
            QVERIFY(qobject_cast<SystemConfigDialog *>(modal));
            // The dialog's own focus: where its keys go once it is the active window.
            QWidget *focus = modal->focusWidget();
            QVERIFY(focus);
            focused = focus->objectName();
            QTest::keyClick(focus, Qt::Key_End);
            QTest::keyClicks(focus, QStringLiteral(" II"));
            QTest::keyClick(focus, Qt::Key_Return);
        });
        QTest::keyClick(setup, Qt::Key_Return);
        QCOMPARE(focused, QStringLiteral("nameEdit"));
        QCOMPARE(m_frame->systems().entryAt(0)->name, std::string("NES II"));
    }

private:
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<MainFrame> m_frame;
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
