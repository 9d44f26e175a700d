// The options dialog as a user meets it: every click changes the window's options at once and
// no way of closing undoes it; "Set Font" picks face, size and colour in one dialog.

#include "gui/ui/OptionsDialog.h"
#include "gui/ui/RomFontDialog.h"

#include "ModalAnswer.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

using marlit::AppSettings;
using marlit::test::answerNextModal;
using Id = OptionsDialog::ControlId;

namespace {

bool isChecked(const OptionsDialog &dialog, int id)
{
    return qobject_cast<QAbstractButton *>(dialog.control(id))->isChecked();
}

void click(const OptionsDialog &dialog, int id)
{
    QTest::mouseClick(dialog.control(id), Qt::LeftButton);
}

} // namespace

class OptionsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void clicksChangeTheOptionsAtOnceAndEscapeKeepsThem();
    void unknownSnapshotModeChecksNoButton();
    void keyboardAloneChangesEveryOption();
    void setFontChoosesFaceSizeAndColorTogether();
    void showsTheLogo();
};

void OptionsDialogTest::clicksChangeTheOptionsAtOnceAndEscapeKeepsThem()
{
    AppSettings settings{true, false, marlit::NoSnapshots};
    OptionsDialog dialog(settings, RomListFont{});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Marlit Configuration"));
    QVERIFY(isChecked(dialog, Id::IdRememberWindowSize));
    QVERIFY(!isChecked(dialog, Id::IdRememberLastSystem));
    QVERIFY(isChecked(dialog, Id::IdNoSnapshots));

    dialog.show();
    click(dialog, Id::IdSnapshotsRight);
    QCOMPARE(settings.snapshotMode, int(marlit::SnapshotsRight));
    QVERIFY(!isChecked(dialog, Id::IdNoSnapshots));
    click(dialog, Id::IdRememberWindowSize);
    click(dialog, Id::IdRememberLastSystem);
    QCOMPARE(settings, (AppSettings{false, true, marlit::SnapshotsRight}));
    click(dialog, Id::IdSnapshotsBelow);
    QCOMPARE(settings.snapshotMode, int(marlit::SnapshotsBelow));

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(settings, (AppSettings{false, true, marlit::SnapshotsBelow}));
}

// Tab goes through the options as they are read, stopping once in the snapshot choice, at the
// checked mode; the arrow keys choose another mode, Space ticks a box, Enter is OK.
void OptionsDialogTest::keyboardAloneChangesEveryOption()
{
    AppSettings settings{true, true, marlit::SnapshotsRight};
    OptionsDialog dialog(settings, RomListFont{});
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.control(Id::IdRememberWindowSize)->setFocus();
    QStringList reached;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(reached, (QStringList{"rememberLastSystemCheck", "snapshotsRightRadio", "setFontButton", "okButton",
                                   "rememberWindowSizeCheck"}));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(settings.rememberWindowSize, false);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down); // the button below "to the Right"
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("snapshotsBelowRadio"));
    QCOMPARE(settings.snapshotMode, int(marlit::SnapshotsBelow));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(settings.snapshotMode, int(marlit::NoSnapshots));
    // Tab leaves the group from the mode now checked and comes back to it.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("noSnapshotsRadio"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settings, (AppSettings{false, true, marlit::NoSnapshots}));
}

void OptionsDialogTest::unknownSnapshotModeChecksNoButton()
{
    AppSettings settings{true, true, 7};
    OptionsDialog dialog(settings, RomListFont{});
    for (int id : {Id::IdNoSnapshots, Id::IdSnapshotsBelow, Id::IdSnapshotsRight})
        QVERIFY(!isChecked(dialog, id));
    dialog.show();
    click(dialog, Id::IdNoSnapshots);
    QCOMPARE(settings.snapshotMode, int(marlit::NoSnapshots));
}

void OptionsDialogTest::setFontChoosesFaceSizeAndColorTogether()
{
    AppSettings settings;
    const RomListFont start{QStringLiteral("Arial"), 120, Qt::black};
    OptionsDialog dialog(settings, start);
    QSignalSpy chosen(&dialog, &OptionsDialog::romListFontChosen);
    dialog.show();

    // A face, a size with a tenth and a colour, then OK.
    QString otherFace;
    RomListFont offered;
    answerNextModal([&](QWidget *modal) {
        auto *fontDialog = qobject_cast<RomFontDialog *>(modal);
        QVERIFY(fontDialog);
        offered = fontDialog->chosen();
        auto *faces = fontDialog->findChild<QFontComboBox *>(QStringLiteral("faceBox"));
        const int other = faces->currentIndex() == 0 ? 1 : 0;
        otherFace = faces->itemText(other);
        faces->setCurrentIndex(other);
        fontDialog->findChild<QDoubleSpinBox *>(QStringLiteral("sizeBox"))->setValue(16.5);
        answerNextModal([&](QWidget *colorModal) {
            auto *picker = qobject_cast<QColorDialog *>(colorModal);
            QVERIFY(picker);
            picker->setCurrentColor(QColor(200, 16, 32));
            picker->accept();
        });
        QTest::mouseClick(fontDialog->findChild<QPushButton *>(QStringLiteral("colorButton")), Qt::LeftButton);
        QTest::keyClick(fontDialog, Qt::Key_Return);
    });
    click(dialog, Id::IdSetFont);
    QCOMPARE(offered, start); // opens on the list's font
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<RomListFont>(), (RomListFont{otherFace, 165, QColor(200, 16, 32)}));

    // Cancel changes nothing; the next time the dialog opens on the font chosen before.
    answerNextModal([&](QWidget *modal) {
        auto *fontDialog = qobject_cast<RomFontDialog *>(modal);
        QVERIFY(fontDialog);
        offered = fontDialog->chosen();
        fontDialog->findChild<QDoubleSpinBox *>(QStringLiteral("sizeBox"))->setValue(30);
        QTest::keyClick(fontDialog, Qt::Key_Escape);
    });
    click(dialog, Id::IdSetFont);
    QCOMPARE(offered, (RomListFont{otherFace, 165, QColor(200, 16, 32)}));
    QCOMPARE(chosen.count(), 1);
}

void OptionsDialogTest::showsTheLogo()
{
    AppSettings settings;
    OptionsDialog dialog(settings, RomListFont{});
    dialog.show();
    QWidget *logo = dialog.control(Id::IdLogo);
    const QImage shown = logo->grab().toImage();
    int drawn = 0;
    const QRgb background = dialog.palette().color(QPalette::Window).rgb();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            drawn += shown.pixel(x, y) != background ? 1 : 0;
    QVERIFY2(drawn > shown.width() * shown.height() / 10, qPrintable(QString::number(drawn)));
}

QTEST_MAIN(OptionsDialogTest)
#include "tst_optionsdialog.moc"
