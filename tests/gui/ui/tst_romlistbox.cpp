#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"
#include "gui/ui/RomRowDelegate.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

#include <string>
#include <vector>

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGrey(224, 224, 224);

std::vector<std::string> numberedNames(int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back("r" + std::to_string(i));
    return names;
}

// The height a row must have for a font size, at the list's resolution.
int expectedRowHeight(const QWidget &widget, int tenths)
{
    return qRound(tenths / 10.0 * widget.logicalDpiY() / 72.0) + 2;
}

QImage grabViewport(RomListBox &list)
{
    QApplication::processEvents();
    return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool rowHasColor(const QImage &image, int top, int height, const QColor &color)
{
    for (int y = top; y < top + height; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

// A list on screen, with its rows laid out, without the focus (the style's focus frame would
// tint the current row).
struct ShownList
{
    RomListBox list;

    explicit ShownList(std::vector<std::string> names = {})
    {
        list.resize(300, 200);
        list.setNames(std::move(names));
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.clearFocus();
    }
};

} // namespace

class TestRomListBox : public QObject
{
    Q_OBJECT

private slots:
    void modelKeepsItsContractThroughRefills();
    void namesAreDecodedFromFileNameBytes();
    void nameOutsideTheListIsEmpty();
    void refillOfManyNamesIsOneReset();

    void rowsAreStripedWhiteAndGrey();
    void selectedRowHasTheHighlightColour();
    void textHasTheChosenColourSelectedOrNot();
    void rowHeightFollowsTheFont();
    void iconIsCentredInTheRow_data();
    void iconIsCentredInTheRow();
    void iconIsDrawnWhereTheLayoutPutsIt();
    void listWithFocusShowsItAlsoWithoutACurrentRow();
    void nameCutShortEndsWithAnEllipsisAndShowsWholeInATooltip();

    void enterRequestsPlayOncePerPress();
    void holdingEnterDoesNotStartOneLaunchPerRepeat();
    void doubleClickOnARowRequestsPlay();
    void refillsAndProgrammaticSelectionAreSilent();
    void userSelectionIsReported();
    void clickBesideTheRowsKeepsTheSelection();
};

void TestRomListBox::modelKeepsItsContractThroughRefills()
{
    RomListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setNames(numberedNames(5));
    model.setNames({});
    model.setNames({"b.nes", "a.nes"});
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestRomListBox::namesAreDecodedFromFileNameBytes()
{
    RomListModel model;
    model.setNames({"Pok\xc3\xa9mon (E) [!].gb", "a  b.zip", "\xe2\x80\xaegnp.exe\nb"});
    QCOMPARE(model.data(model.index(0, 0)).toString(), QString::fromUtf8("Pok\xc3\xa9mon (E) [!].gb"));
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("a  b.zip"));
    // A right-to-left override or a line break in a name is shown neutralised, its bytes kept.
    QCOMPARE(model.data(model.index(2, 0)).toString(), QStringLiteral("\ufffdgnp.exe\u240ab"));
    QCOMPARE(model.nameAt(2), std::string("\xe2\x80\xaegnp.exe\nb"));
    QCOMPARE(model.nameAt(0), std::string("Pok\xc3\xa9mon (E) [!].gb"));
}

void TestRomListBox::nameOutsideTheListIsEmpty()
{
    RomListBox list;
    list.setNames({"a"});
    QCOMPARE(list.nameAt(-1), std::string());
    QCOMPARE(list.nameAt(1), std::string());
    QVERIFY(!list.romModel()->data(list.romModel()->index(1, 0)).isValid());
}

void TestRomListBox::refillOfManyNamesIsOneReset()
{
    RomListBox list;
    QSignalSpy resets(list.romModel(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(list.romModel(), &QAbstractItemModel::rowsInserted);
    list.setNames(numberedNames(50000));
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(list.count(), 50000);
    QCOMPARE(list.nameAt(49999), std::string("r49999"));
}

void TestRomListBox::rowsAreStripedWhiteAndGrey()
{
    ShownList shown(numberedNames(6));
    RomListBox &list = shown.list;
    const QImage image = grabViewport(list);
    const int h = list.itemHeight();
    const int x = image.width() - 4; // right of the short names
    for (int row = 0; row < 6; ++row)
        QCOMPARE(image.pixelColor(x, row * h + h / 2), row % 2 ? kGrey : kWhite);
}

void TestRomListBox::selectedRowHasTheHighlightColour()
{
    ShownList shown(numberedNames(4));
    RomListBox &list = shown.list;
    list.setCurrentRow(2);
    const QImage image = grabViewport(list);
    const int h = list.itemHeight();
    const int x = image.width() - 4;
    QCOMPARE(image.pixelColor(x, 2 * h + h / 2), list.palette().color(QPalette::Active, QPalette::Highlight));
    QCOMPARE(image.pixelColor(x, 1 * h + h / 2), kGrey);
    QCOMPARE(image.pixelColor(x, 3 * h + h / 2), kGrey);
}

void TestRomListBox::textHasTheChosenColourSelectedOrNot()
{
    ShownList shown({"MMMM", "MMMM"});
    RomListBox &list = shown.list;
    // Large enough that the strokes have fully covered pixels of the pure colour.
    const QColor blue(0, 0, 255);
    list.SetItemFont(QStringLiteral("Arial"), 300, blue);
    list.setCurrentRow(0);
    const QImage image = grabViewport(list);
    const int h = list.itemHeight();
    QVERIFY(rowHasColor(image, 0, h, blue));
    QVERIFY(rowHasColor(image, h, h, blue));
    QCOMPARE(list.textColor(), blue);
}

void TestRomListBox::rowHeightFollowsTheFont()
{
    ShownList shown(numberedNames(4));
    RomListBox &list = shown.list;
    const bool standardScreen = list.logicalDpiY() == 96;
    QCOMPARE(list.itemHeight(), standardScreen ? 18 : expectedRowHeight(list, 120));
    QCOMPARE(list.visualRect(list.romModel()->index(1, 0)).top(), list.itemHeight());

    list.SetItemFont(QStringLiteral("Arial"), 160, Qt::black);
    const int h = standardScreen ? 23 : expectedRowHeight(list, 160);
    QCOMPARE(list.itemHeight(), h);
    QApplication::processEvents();
    // Every row, not only the first, takes the new height.
    QCOMPARE(list.visualRect(list.romModel()->index(3, 0)), QRect(0, 3 * h, list.viewport()->width(), h));
    const QImage image = grabViewport(list);
    QCOMPARE(image.pixelColor(image.width() - 4, h + 1), kGrey);
    QCOMPARE(image.pixelColor(image.width() - 4, 2 * h + 1), kWhite);
}

void TestRomListBox::iconIsCentredInTheRow_data()
{
    QTest::addColumn<int>("rowTop");
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<int>("iconTop");
    QTest::newRow("12 pt row") << 0 << 18 << 1;
    QTest::newRow("16 pt row") << 0 << 23 << 3;
    QTest::newRow("odd height rounds down") << 40 << 21 << 42;
    QTest::newRow("row smaller than the icon") << 10 << 10 << 7;
}

void TestRomListBox::iconIsCentredInTheRow()
{
    QFETCH(int, rowTop);
    QFETCH(int, rowHeight);
    QFETCH(int, iconTop);
    const auto layout = RomRowDelegate::ItemLayout::forRow(QRect(5, rowTop, 200, rowHeight));
    QCOMPARE(layout.icon, QRect(5, iconTop, 16, 16));
    QCOMPARE(layout.text, QRect(5 + 18, rowTop, 200 - 18, rowHeight));
}

void TestRomListBox::iconIsDrawnWhereTheLayoutPutsIt()
{
    ShownList shown({"", ""});
    RomListBox &list = shown.list;
    list.SetItemFont(QStringLiteral("Arial"), 160, Qt::black);
    const QImage image = grabViewport(list);
    const QRect row0 = list.visualRect(list.romModel()->index(0, 0));
    const QRect icon = RomRowDelegate::ItemLayout::forRow(row0).icon;
    bool iconSeen = false;
    for (int y = row0.top(); y <= row0.bottom(); ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool painted = image.pixelColor(x, y) != kWhite;
            if (y < icon.top() || y > icon.bottom())
                QVERIFY2(!painted, qPrintable(QStringLiteral("pixel %1,%2 outside the icon").arg(x).arg(y)));
            iconSeen = iconSeen || painted;
        }
    }
    QVERIFY(iconSeen);
}

// A list with the focus and no current row, empty or not, shows the focus around its rows: no
// band of a row that is not there, no row marked that Enter would not act on.
void TestRomListBox::listWithFocusShowsItAlsoWithoutACurrentRow()
{
    ShownList shown;
    RomListBox &list = shown.list;
    const int h = list.itemHeight();
    const int x = list.viewport()->width() / 2;
    const QColor highlight = list.palette().color(QPalette::Highlight);
    // What the screen shows, not a fresh drawing: no piece of the frame is left behind.
    const auto onScreen = [&] {
        QTest::qWait(50); // the window's pending updates reach its backing store
        const QPoint origin = list.viewport()->mapTo(&list, QPoint(0, 0));
        return list.screen()
            ->grabWindow(list.winId())
            .toImage()
            .convertToFormat(QImage::Format_RGB32)
            .copy(QRect(origin, list.viewport()->size()));
    };
    QCOMPARE(onScreen().pixelColor(x, 1), kWhite);

    list.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&list));
    list.setFocus();
    QVERIFY(list.hasFocus());
    const QImage empty = onScreen();
    QCOMPARE(empty.pixelColor(x, 1), highlight);
    QCOMPARE(empty.pixelColor(x, h / 2), kWhite);

    // With rows but none current yet, no row is marked: the list's edge shows the focus, and
    // goes once a row is.
    list.setNames({"a.nes", "b.nes"});
    const QImage framed = onScreen();
    const int edge = list.viewport()->width() - 2;
    QCOMPARE(framed.pixelColor(x, 1), highlight);
    QCOMPARE(framed.pixelColor(edge, h + 2), highlight);
    QCOMPARE(framed.pixelColor(x, h + 2), kGrey);
    QTest::keyClick(&list, Qt::Key_Down);
    // The current row, selected, shows the focus plainly: a dark frame inside the highlight.
    QCOMPARE(list.currentRow(), 0);
    QCOMPARE(onScreen().pixelColor(x, 1), list.palette().color(QPalette::WindowText));
    QCOMPARE(onScreen().pixelColor(edge, h + 2), kGrey);
    QCOMPARE(onScreen().pixelColor(edge, list.viewport()->height() / 2), kWhite);
    // Without the focus no frame either, once the list has no current row again.
    list.setNames({"a.nes", "b.nes"});
    QCOMPARE(onScreen().pixelColor(edge, h + 2), highlight);
    list.clearFocus();
    QCOMPARE(onScreen().pixelColor(edge, h + 2), kGrey);
}

// A name longer than its row ends with "…", drawn as a name that is just that would be, and its
// tooltip gives it whole (as written, never as markup); a row that fits shows the title, and
// its tooltip the file name.
void TestRomListBox::nameCutShortEndsWithAnEllipsisAndShowsWholeInATooltip()
{
    const std::string longName = "Super <b>Mario</b> Bros. 3 (USA) (Rev 1) [!] with a name too long for it.nes";
    ShownList shown({"Tetris.gb", longName});
    RomListBox &list = shown.list;
    const auto toolTipOver = [&](int row) -> QString {
        QToolTip::hideText();
        if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
            return QStringLiteral("(the last tooltip stays)");
        const QPoint pos = list.visualRect(list.model()->index(row, 0)).center();
        QHelpEvent help(QEvent::ToolTip, pos, list.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(list.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(toolTipOver(0), QStringLiteral("<qt>Tetris.gb</qt>"));
    QCOMPARE(toolTipOver(1),
             QStringLiteral("<qt>Super &lt;b&gt;Mario&lt;/b&gt; Bros. 3 (USA) (Rev 1) [!] with a name too long for "
                            "it.nes</qt>"));

    const int textWidth = RomRowDelegate::ItemLayout::forRow(list.visualRect(list.model()->index(1, 0))).text.width();
    const QString fitted =
        QFontMetrics(list.itemFont()).elidedText(QString::fromStdString(longName), Qt::ElideRight, textWidth);
    QVERIFY(fitted.endsWith(QChar(0x2026)));
    const QImage cut = grabViewport(list);
    list.setNames({"Tetris.gb", fitted.toStdString()});
    const QImage asShown = grabViewport(list);
    const int rowHeight = list.itemHeight();
    QCOMPARE(cut.copy(0, rowHeight, cut.width(), rowHeight), asShown.copy(0, rowHeight, cut.width(), rowHeight));
}

void TestRomListBox::enterRequestsPlayOncePerPress()
{
    RomListBox list;
    list.setNames(numberedNames(3));
    QSignalSpy play(&list, &RomListBox::playRequested);
    QSignalSpy selection(&list, &RomListBox::romSelectionChanged);
    // Enter launches whether or not a row is selected; what that means is the launcher's call.
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(play.count(), 1);
    QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(play.count(), 2);
    QCOMPARE(selection.count(), 0);
}

void TestRomListBox::holdingEnterDoesNotStartOneLaunchPerRepeat()
{
    RomListBox list;
    list.setNames(numberedNames(3));
    QSignalSpy play(&list, &RomListBox::playRequested);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(&list, &press);
    for (int i = 0; i < 5; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
        QApplication::sendEvent(&list, &repeat);
    }
    QCOMPARE(play.count(), 1);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(&list, &release);
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(play.count(), 2);
}

void TestRomListBox::doubleClickOnARowRequestsPlay()
{
    ShownList shown(numberedNames(3));
    RomListBox &list = shown.list;
    QSignalSpy play(&list, &RomListBox::playRequested);
    const QRect row1 = list.visualRect(list.romModel()->index(1, 0));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row1.center());
    QCOMPARE(play.count(), 1);
    QCOMPARE(list.currentRow(), 1);
    // Below the last row there is nothing to play.
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 4 * list.itemHeight() + 5));
    QCOMPARE(play.count(), 1);
}

void TestRomListBox::refillsAndProgrammaticSelectionAreSilent()
{
    ShownList shown(numberedNames(5));
    RomListBox &list = shown.list;
    QSignalSpy selection(&list, &RomListBox::romSelectionChanged);
    list.setCurrentRow(3);
    QCOMPARE(list.currentRow(), 3);
    list.setNames(numberedNames(4));
    QCOMPARE(list.currentRow(), -1);
    list.setCurrentRow(1);
    list.clearNames();
    QCOMPARE(list.currentRow(), -1);
    list.setNames(numberedNames(2));
    list.setCurrentRow(7); // outside: no selection
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(selection.count(), 0);
}

void TestRomListBox::userSelectionIsReported()
{
    ShownList shown(numberedNames(5));
    RomListBox &list = shown.list;
    list.setCurrentRow(1);
    QSignalSpy selection(&list, &RomListBox::romSelectionChanged);

    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.currentRow(), 2);
    QCOMPARE(selection.count(), 1);
    QTest::keyClick(&list, Qt::Key_End);
    QCOMPARE(list.currentRow(), 4);
    QCOMPARE(selection.count(), 2);

    const QRect row0 = list.visualRect(list.romModel()->index(0, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row0.center());
    QCOMPARE(list.currentRow(), 0);
    QCOMPARE(selection.count(), 3);
}

void TestRomListBox::clickBesideTheRowsKeepsTheSelection()
{
    ShownList shown(numberedNames(3));
    RomListBox &list = shown.list;
    list.setCurrentRow(1);
    QSignalSpy selection(&list, &RomListBox::romSelectionChanged);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 5 * list.itemHeight()));
    QCOMPARE(list.currentRow(), 1);
    const QRect row1 = list.visualRect(list.romModel()->index(1, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, row1.center());
    QCOMPARE(list.currentRow(), 1);
    QCOMPARE(selection.count(), 0);
}

QTEST_MAIN(TestRomListBox)
#include "tst_romlistbox.moc"
