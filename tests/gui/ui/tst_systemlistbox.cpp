#include "core/catalogue/CategoryCatalogue.h"
#include "gui/text/BoundedText.h"
#include "gui/ui/SystemCardDelegate.h"
#include "gui/ui/SystemListBox.h"
#include "gui/ui/SystemListModel.h"

#include "TempDir.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

#include <string>
#include <vector>

using CardLayout = SystemCardDelegate::CardLayout;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

marlit::CategoryCatalogue makeCatalogue(int count, const std::string &iconPath = "no-such-icon.png")
{
    std::vector<marlit::SystemEntry> entries;
    for (int i = 0; i < count; ++i) {
        marlit::SystemEntry entry;
        entry.name = "S" + std::to_string(i);
        entry.description = "d";
        entry.iconPath = iconPath;
        entries.push_back(entry);
    }
    return marlit::CategoryCatalogue(std::move(entries));
}

// The window side of the list: records, in order, what the list's signals ask of it.
class SignalLog
{
public:
    explicit SignalLog(SystemListBox &list)
    {
        QObject::connect(&list, &SystemListBox::systemSelectionChanged,
                         [this] { calls << QStringLiteral("OnSelChangeSystem"); });
        QObject::connect(&list, &SystemListBox::setupRequested, [this] { calls << QStringLiteral("OnSetup"); });
        QObject::connect(&list, &SystemListBox::launchEmulatorRequested,
                         [this] { calls << QStringLiteral("OnLaunchEmulator"); });
        QObject::connect(&list, &SystemListBox::listOperationRequested, [this](marlit::ListOperation operation) {
            const char *names[] = {"MoveUp", "MoveDown", "Delete"};
            calls << QStringLiteral("ApplyListOperation(%1)").arg(QLatin1String(names[static_cast<int>(operation)]));
        });
    }

    QStringList calls;
};

struct MenuItem
{
    QString text;
    int id = 0; // 0 for a separator
    bool enabled = false;
    bool operator==(const MenuItem &) const = default;
};

// A list whose menu is not shown: it records the menu and picks an item as told.
class ScriptedSystemListBox : public SystemListBox
{
public:
    QString choose; // objectName of the item to pick; empty picks nothing
    int menusShown = 0;
    QPoint menuPos;
    QList<MenuItem> menuItems;

protected:
    QAction *execMenu(QMenu &menu, const QPoint &globalPos) override
    {
        ++menusShown;
        menuPos = globalPos;
        menuItems.clear();
        QAction *picked = nullptr;
        for (QAction *action : menu.actions()) {
            menuItems.append({action->isSeparator() ? QString() : action->text(),
                              action->isSeparator() ? 0 : action->data().toInt(), action->isEnabled()});
            if (!choose.isEmpty() && action->objectName() == choose)
                picked = action;
        }
        return picked;
    }
};

QImage grabViewport(SystemListBox &list)
{
    QApplication::processEvents();
    return list.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void rightClick(SystemListBox &list, const QPoint &viewportPos)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, viewportPos, list.viewport()->mapToGlobal(viewportPos));
    QApplication::sendEvent(list.viewport(), &event);
}

QPoint rowCentre(SystemListBox &list, int row)
{
    return list.visualRect(list.model()->index(row, 0)).center();
}

// A list with a catalogue, on screen.
struct Fixture
{
    marlit::CategoryCatalogue catalogue;
    ScriptedSystemListBox list;
    SignalLog host{list};

    explicit Fixture(int count, QSize size = QSize(240, 400)) : catalogue(makeCatalogue(count))
    {
        list.setCatalogue(catalogue);
        list.setCurrentRow(0);
        list.resize(size);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
    }
};

QImage solidImage(const QColor &color, int size = 16)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

} // namespace

class TestSystemListBox : public QObject
{
    Q_OBJECT

private slots:
    void modelKeepsItsContractThroughCatalogueChanges();
    void modelGivesEachRowItsEntry();

    void bandColourFollowsTheRow_data();
    void bandColourFollowsTheRow();
    void selectedCardIsLiftedAndOutlined();
    void deselectedCardLosesItsOutline();
    void currentCardShowsTheFocusOnlyWithTheFocus();
    void iconIsReadScaledAndMovedWithTheCard();
    void missingOrEmptyIconShowsTheDefaultIcon();
    void textCutShortShowsWholeInATooltipAndStaysBounded();
    void changedIconShowsAfterTheCatalogueIsSetAgain();

    void menuHasItsItemsInOrder();
    void menuGreying_data();
    void menuGreying();
    void rightClickOnAnotherRowMakesItCurrentFirst();
    void rightClickOnTheCurrentRowReloadsNothing();
    void rightClickAfterScrollingTakesTheRowUnderTheCursor();
    void rightClickBelowTheRowsKeepsTheSelection();
    void keyboardMenuOpensBesideTheCurrentRow();
    void menuCommands_data();
    void menuCommands();
    void greyedCommandOnMissingSystemDoesNothing();

    void userSelectionAndDoubleClickAreReported();
};

void TestSystemListBox::modelKeepsItsContractThroughCatalogueChanges()
{
    SystemListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const marlit::CategoryCatalogue ten = makeCatalogue(10);
    const marlit::CategoryCatalogue three = makeCatalogue(3);
    model.setCatalogue(ten);
    QCOMPARE(model.rowCount(), 10);
    model.setCatalogue(three);
    QCOMPARE(model.rowCount(), 3);
    model.setCatalogue(marlit::CategoryCatalogue{});
    QCOMPARE(model.rowCount(), 0);
}

void TestSystemListBox::modelGivesEachRowItsEntry()
{
    SystemListModel model;
    const marlit::CategoryCatalogue catalogue = makeCatalogue(3);
    model.setCatalogue(catalogue);
    const auto *entry = model.index(2, 0).data(SystemListModel::EntryRole).value<const marlit::SystemEntry *>();
    QVERIFY(entry);
    QCOMPARE(*entry, *catalogue.entryAt(2));
    QCOMPARE(model.entryAt(2), entry);
    QCOMPARE(model.entryAt(3), nullptr);
    QCOMPARE(model.entryAt(-1), nullptr);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("S1"));
}

void TestSystemListBox::bandColourFollowsTheRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QColor>("color");
    QTest::newRow("0 red") << 0 << QColor(255, 0, 0);
    QTest::newRow("1 orange") << 1 << QColor(255, 128, 0);
    QTest::newRow("2 olive") << 2 << QColor(192, 192, 0);
    QTest::newRow("3 green") << 3 << QColor(0, 192, 0);
    QTest::newRow("4 teal") << 4 << QColor(0, 192, 192);
    QTest::newRow("5 sky") << 5 << QColor(0, 128, 255);
    QTest::newRow("6 blue") << 6 << QColor(0, 0, 255);
    QTest::newRow("7 violet") << 7 << QColor(128, 0, 255);
    QTest::newRow("8 red again") << 8 << QColor(255, 0, 0);
    QTest::newRow("9 orange again") << 9 << QColor(255, 128, 0);
}

void TestSystemListBox::bandColourFollowsTheRow()
{
    QFETCH(int, row);
    QFETCH(QColor, color);
    Fixture f(10);
    f.list.setCurrentRow(-1);
    const QImage image = grabViewport(f.list);
    const QRect item = f.list.visualRect(f.list.model()->index(row, 0));
    QCOMPARE(item.height(), 38);
    QCOMPARE(item.top(), row * 38);
    // Right of the short name, inside the band (x from L+36, y from T to T+22).
    QCOMPARE(image.pixelColor(item.right() - 3, item.top() + 11), color);
    QCOMPARE(image.pixelColor(item.left() + 36, item.top()), color);
    QCOMPARE(image.pixelColor(item.left() + 36, item.top() + 21), color);
    QCOMPARE(image.pixelColor(item.left() + 35, item.top() + 11), kWhite);
    QCOMPARE(image.pixelColor(item.right() - 3, item.top() + 22), kWhite);
}

void TestSystemListBox::selectedCardIsLiftedAndOutlined()
{
    Fixture f(3);
    f.list.clearFocus(); // the focus mark is another test's
    f.list.setCurrentRow(1);
    const QImage image = grabViewport(f.list);
    const QRect item = f.list.visualRect(f.list.model()->index(1, 0));
    const int L = item.left(), T = item.top(), R = item.left() + item.width(), B = item.top() + item.height();
    const QColor orange(255, 128, 0);

    // Band from L+38 and down to T+20 only.
    QCOMPARE(image.pixelColor(L + 37, T + 10), kWhite);
    QCOMPARE(image.pixelColor(L + 38, T + 10), orange);
    QCOMPARE(image.pixelColor(R - 5, T + 19), orange);
    QCOMPARE(image.pixelColor(R - 5, T + 21), kWhite);
    QCOMPARE(image.pixelColor(R - 5, T + 2), orange); // the band keeps its top

    // Two outlines, (L, T+1, R-1, B) and (L+1, T, R, B-1).
    QCOMPARE(image.pixelColor(L, T + 1), kBlack);
    QCOMPARE(image.pixelColor(L + 1, T), kBlack);
    QCOMPARE(image.pixelColor(L, B - 1), kBlack);
    QCOMPARE(image.pixelColor(R - 1, T), kBlack);
    QCOMPARE(image.pixelColor(R - 2, B - 1), kBlack);
    QCOMPARE(image.pixelColor(R - 1, B - 2), kBlack);
    QCOMPARE(image.pixelColor(L + 1, T + 20), kBlack);
    QCOMPARE(image.pixelColor(R - 2, T + 20), kBlack);
    // ... leaving the top-left and bottom-right corners unpainted.
    QVERIFY(image.pixelColor(L, T) != kBlack);
    QVERIFY(image.pixelColor(R - 1, B - 1) != kBlack);
    // The lifted card does not spill into its neighbours.
    QCOMPARE(image.pixelColor(R - 5, T - 1), kWhite);
}

void TestSystemListBox::deselectedCardLosesItsOutline()
{
    Fixture f(3);
    f.list.setCurrentRow(1);
    grabViewport(f.list);
    f.list.setCurrentRow(-1);
    const QImage image = grabViewport(f.list);
    const QRect item = f.list.visualRect(f.list.model()->index(1, 0));
    QCOMPARE(image.pixelColor(item.left(), item.top() + 10), kWhite);
    QCOMPARE(image.pixelColor(item.left() + 5, item.bottom()), kWhite);
    QCOMPARE(image.pixelColor(item.right() - 3, item.top() + 21), QColor(255, 128, 0));
}

// The list's keyboard focus shows on the current card, and only while the list has the focus:
// the rest of the card is drawn as without it.
void TestSystemListBox::currentCardShowsTheFocusOnlyWithTheFocus()
{
    Fixture f(3);
    f.list.setCurrentRow(1);
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    const QImage unfocused = grabViewport(f.list);
    f.list.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.list));
    f.list.setFocus();
    QVERIFY(f.list.hasFocus());
    const QImage focused = grabViewport(f.list);

    const QRect card = f.list.visualRect(f.list.model()->index(1, 0));
    const CardLayout layout = CardLayout::forItem(card, true);
    QRect changed;
    for (int y = 0; y < focused.height(); ++y)
        for (int x = 0; x < focused.width(); ++x)
            if (focused.pixel(x, y) != unfocused.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    QVERIFY2(!changed.isEmpty(), "the focus shows nowhere");
    QVERIFY2(layout.focus.contains(changed), qPrintable(QStringLiteral("changed %1,%2 %3x%4")
                                                            .arg(changed.x())
                                                            .arg(changed.y())
                                                            .arg(changed.width())
                                                            .arg(changed.height())));
    // Around the description line, inside the outline.
    QVERIFY(changed.width() > card.width() / 2);
    QVERIFY(changed.top() >= layout.description.top() - 1);
}

void TestSystemListBox::iconIsReadScaledAndMovedWithTheCard()
{
    marlit::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("green.png"));
    QVERIFY(solidImage(QColor(0, 200, 0)).save(file));
    marlit::CategoryCatalogue catalogue = makeCatalogue(2, dir.file("green.png"));
    SystemListBox list;
    list.setCatalogue(catalogue);
    list.resize(240, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    QImage image = grabViewport(list);
    // Scaled from 16x16 to 32x32 at (L+2, T+3).
    QCOMPARE(image.pixelColor(2, 3), QColor(0, 200, 0));
    QCOMPARE(image.pixelColor(33, 34), QColor(0, 200, 0));
    QCOMPARE(image.pixelColor(1, 3), kWhite);
    QCOMPARE(image.pixelColor(34, 34), kWhite);
    QCOMPARE(image.pixelColor(2, 35), kWhite);

    list.setCurrentRow(0);
    image = grabViewport(list);
    // Selected: at (L+4, T+1), its top row under the outline.
    QCOMPARE(image.pixelColor(4, 2), QColor(0, 200, 0));
    QCOMPARE(image.pixelColor(35, 32), QColor(0, 200, 0));
    QCOMPARE(image.pixelColor(3, 10), kWhite);
    QCOMPARE(image.pixelColor(4, 33), kWhite);
}

// A system naming no icon, or an icon file that is missing or no icon at all, shows the
// default icon of the working folder; without that either, the place stays white.
void TestSystemListBox::missingOrEmptyIconShowsTheDefaultIcon()
{
    marlit::test::TempDir dir;
    dir.write("broken.ico", "not an icon at all");
    std::vector<marlit::SystemEntry> entries = makeCatalogue(3).entries();
    entries[0].iconPath = "";
    entries[1].iconPath = dir.file("no-such.ico");
    entries[2].iconPath = dir.file("broken.ico");
    const marlit::CategoryCatalogue catalogue(entries);
    SystemListBox list;
    list.setWorkFolder(dir.path());
    list.setCatalogue(catalogue);
    list.resize(240, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const auto iconPlace = [&](int row) { return grabViewport(list).pixelColor(18, row * 38 + 19); };
    for (int row = 0; row < 3; ++row)
        QCOMPARE(iconPlace(row), kWhite);

    QVERIFY(solidImage(QColor(200, 0, 200), 32).save(QString::fromStdString(dir.file("default.ico")), "ICO"));
    list.setCatalogue(catalogue); // icons are read again for a catalogue set again
    for (int row = 0; row < 3; ++row)
        QCOMPARE(iconPlace(row), QColor(200, 0, 200));
    QCOMPARE(grabViewport(list).pixelColor(200, 2 * 38 + 11), QColor(192, 192, 0)); // the rest is drawn
}

// A name or description that does not fit its card ends with "…" and shows whole in the card's
// tooltip; a card that shows both whole has none. A value of a million characters lays out no
// more than a few hundred, in the card, the model and the tooltip alike.
void TestSystemListBox::textCutShortShowsWholeInATooltipAndStaysBounded()
{
    std::vector<marlit::SystemEntry> entries = makeCatalogue(4).entries();
    entries[1].name = "Nintendo Entertainment System <b>PAL</b>";
    entries[2].description = "The description of a system, far longer than the card is wide";
    entries[3].name = std::string(1'000'000, 'x');
    entries[3].description = std::string(1'000'000, 'y');
    const marlit::CategoryCatalogue catalogue(entries);
    SystemListBox list;
    list.setCatalogue(catalogue);
    list.resize(240, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const auto toolTipOver = [&](int row) -> QString {
        QToolTip::hideText();
        if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
            return QStringLiteral("(the last tooltip stays)");
        const QPoint pos = rowCentre(list, row);
        QHelpEvent help(QEvent::ToolTip, pos, list.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(list.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };

    QCOMPARE(toolTipOver(0), QString());
    // Shown as written, never as markup.
    QCOMPARE(toolTipOver(1), QStringLiteral("<qt>Nintendo Entertainment System &lt;b&gt;PAL&lt;/b&gt;<br>d</qt>"));
    QCOMPARE(toolTipOver(2), QStringLiteral("<qt>S2<br>The description of a system, far longer than the card is "
                                            "wide</qt>"));
    const QString hostile = toolTipOver(3);
    QCOMPARE(hostile, QStringLiteral("<qt>%1\u2026<br>%2\u2026</qt>")
                          .arg(QString(kShownCharacters, u'x'), QString(kShownCharacters, u'y')));
    QCOMPARE(list.model()->index(3, 0).data().toString(), QString(kShownCharacters, u'x') + QChar(0x2026));

    // Characters, not bytes: a name of two-byte letters keeps as many of them. Control and
    // direction characters are shown neutralised: the row neither breaks nor turns around.
    entries[0].name = std::string(1'000'000 / 2, '\xc3');
    for (std::size_t at = 1; at < entries[0].name.size(); at += 2)
        entries[0].name[at] = '\xa9';
    entries[1].name = "\xe2\x80\xaegnp.exe\ntwo\x1b";
    list.setCatalogue(marlit::CategoryCatalogue(entries));
    QCOMPARE(list.model()->index(0, 0).data().toString(), QString(kShownCharacters, u'\u00e9') + QChar(0x2026));
    QCOMPARE(list.model()->index(1, 0).data().toString(), QStringLiteral("\ufffdgnp.exe\u240atwo\u241b"));

    // The card draws the name as it fits, ending with "…": just as a card whose name is that.
    const auto cardOf = [](const std::string &name) {
        marlit::CategoryCatalogue one = makeCatalogue(1);
        std::vector<marlit::SystemEntry> entries = one.entries();
        entries[0].name = name;
        one = marlit::CategoryCatalogue(entries);
        SystemListBox single;
        single.setCatalogue(one);
        single.resize(240, 100);
        single.show();
        return grabViewport(single).copy(0, 0, 220, SystemCardDelegate::kCardHeight);
    };
    QFont nameFont(QStringLiteral("Arial"));
    nameFont.setPixelSize(qRound(16 * list.logicalDpiY() / 72.0));
    const int nameWidth = CardLayout::forItem(QRect(0, 0, list.viewport()->width(), 38), false).name.width();
    const QString fitted =
        QFontMetrics(nameFont).elidedText(QString(kShownCharacters, u'x'), Qt::ElideRight, nameWidth);
    QVERIFY(fitted.endsWith(QChar(0x2026)));
    QCOMPARE(cardOf(entries[3].name), cardOf(fitted.toStdString()));
}

void TestSystemListBox::changedIconShowsAfterTheCatalogueIsSetAgain()
{
    marlit::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("icon.png"));
    QVERIFY(solidImage(QColor(0, 200, 0)).save(file));
    marlit::CategoryCatalogue catalogue = makeCatalogue(1, dir.file("icon.png"));
    SystemListBox list;
    list.setCatalogue(catalogue);
    list.resize(240, 100);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(grabViewport(list).pixelColor(18, 19), QColor(0, 200, 0));

    QVERIFY(solidImage(QColor(0, 0, 200)).save(file));
    list.setCatalogue(catalogue);
    QCOMPARE(grabViewport(list).pixelColor(18, 19), QColor(0, 0, 200));
}

void TestSystemListBox::menuHasItsItemsInOrder()
{
    Fixture f(3);
    f.list.setCurrentRow(1);
    rightClick(f.list, rowCentre(f.list, 1));
    const QList<MenuItem> expected = {
        {QStringLiteral("Setup System"), 40001, true},
        {QStringLiteral("Launch Emu"), 40006, true},
        {QString(), 0, true},
        {QStringLiteral("Add System..."), 40008, true},
        {QString(), 0, true},
        {QStringLiteral("Move Up"), 40003, true},
        {QStringLiteral("Move Down"), 40004, true},
        {QString(), 0, true},
        {QStringLiteral("Delete System"), 40005, true},
        {QString(), 0, true},
        {QStringLiteral("TV Mode"), 40007, true},
    };
    QCOMPARE(f.list.menusShown, 1);
    QCOMPARE(f.list.menuItems.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(f.list.menuItems[i].text, expected[i].text);
        QCOMPARE(f.list.menuItems[i].id, expected[i].id);
    }
}

void TestSystemListBox::menuGreying_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("setup");
    QTest::addColumn<bool>("others"); // launch, delete
    QTest::addColumn<bool>("moveUp");
    QTest::addColumn<bool>("moveDown");
    QTest::newRow("first of five") << 0 << 4 << true << true << false << true;
    QTest::newRow("last of five") << 4 << 4 << true << true << true << false;
    QTest::newRow("middle") << 2 << 4 << true << true << true << true;
    QTest::newRow("single system") << 0 << 0 << true << true << false << false;
    QTest::newRow("second of two") << 1 << 1 << true << true << true << false;
    // "Setup System" adds the first system to an empty category.
    QTest::newRow("empty list") << 0 << -1 << true << false << false << false;
    QTest::newRow("past the end after deleting the last") << 5 << 4 << false << false << false << false;
    QTest::newRow("no selection") << -1 << 4 << false << false << false << false;
}

void TestSystemListBox::menuGreying()
{
    QFETCH(int, current);
    QFETCH(int, last);
    QFETCH(bool, setup);
    QFETCH(bool, others);
    QFETCH(bool, moveUp);
    QFETCH(bool, moveDown);
    SystemListBox list;
    list.setCatalogue(makeCatalogue(last + 1));
    list.setCurrentRow(current);
    const std::unique_ptr<QMenu> menu = list.createContextMenu();
    const auto enabled = [&](const char *name) {
        const auto *action = menu->findChild<QAction *>(QLatin1String(name));
        return action && action->isEnabled();
    };
    QCOMPARE(enabled("setupSystemAction"), setup);
    QCOMPARE(enabled("launchEmuAction"), others);
    QCOMPARE(enabled("deleteSystemAction"), others);
    QCOMPARE(enabled("moveUpAction"), moveUp);
    QCOMPARE(enabled("moveDownAction"), moveDown);
    QVERIFY(enabled("addSystemAction")); // always: in an empty list too
}

void TestSystemListBox::rightClickOnAnotherRowMakesItCurrentFirst()
{
    Fixture f(4);
    rightClick(f.list, rowCentre(f.list, 3));
    QCOMPARE(f.list.currentRow(), 3);
    // The window hears of it once, before the menu opens.
    QCOMPARE(f.host.calls, QStringList{QStringLiteral("OnSelChangeSystem")});
    // The menu was built for the new current system: the last one.
    QCOMPARE(f.list.menusShown, 1);
    QCOMPARE(f.list.menuItems[5].enabled, true);  // "Move Up"
    QCOMPARE(f.list.menuItems[6].enabled, false); // "Move Down"
}

void TestSystemListBox::rightClickOnTheCurrentRowReloadsNothing()
{
    Fixture f(4);
    rightClick(f.list, rowCentre(f.list, 0));
    QCOMPARE(f.list.currentRow(), 0);
    QCOMPARE(f.host.calls, QStringList());
    QCOMPARE(f.list.menusShown, 1);
}

void TestSystemListBox::rightClickAfterScrollingTakesTheRowUnderTheCursor()
{
    Fixture f(20, QSize(240, 130));
    f.list.verticalScrollBar()->setValue(f.list.verticalScrollBar()->maximum());
    QApplication::processEvents();
    const QModelIndex firstVisible = f.list.indexAt(QPoint(10, 5));
    QVERIFY(firstVisible.row() > 10);
    rightClick(f.list, QPoint(10, 5));
    QCOMPARE(f.list.currentRow(), firstVisible.row());
    QCOMPARE(f.host.calls.size(), 1);
}

void TestSystemListBox::rightClickBelowTheRowsKeepsTheSelection()
{
    Fixture f(2);
    f.list.setCurrentRow(1);
    rightClick(f.list, QPoint(10, 3 * 38 + 5));
    QCOMPARE(f.list.currentRow(), 1);
    QCOMPARE(f.host.calls, QStringList());
    QCOMPARE(f.list.menusShown, 1);
}

void TestSystemListBox::keyboardMenuOpensBesideTheCurrentRow()
{
    Fixture f(4);
    f.list.setCurrentRow(2);
    // The position of a keyboard request says nothing about any row.
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), f.list.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&f.list, &event);
    QCOMPARE(f.list.menusShown, 1);
    QCOMPARE(f.host.calls, QStringList());
    QCOMPARE(f.list.currentRow(), 2);
    const QRect row = f.list.visualRect(f.list.model()->index(2, 0));
    QCOMPARE(f.list.menuPos, f.list.viewport()->mapToGlobal(row.bottomLeft()));

    f.list.setCurrentRow(-1);
    QApplication::sendEvent(&f.list, &event);
    QCOMPARE(f.list.menuPos, f.list.viewport()->mapToGlobal(QPoint(0, 0)));
}

void TestSystemListBox::menuCommands_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("confirmations");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("setup") << "setupSystemAction" << false << 0 << QStringList{"OnSetup"};
    QTest::newRow("launch") << "launchEmuAction" << false << 0 << QStringList{"OnLaunchEmulator"};
    QTest::newRow("move up") << "moveUpAction" << false << 0 << QStringList{"ApplyListOperation(MoveUp)"};
    QTest::newRow("move down") << "moveDownAction" << false << 0 << QStringList{"ApplyListOperation(MoveDown)"};
    QTest::newRow("delete, No") << "deleteSystemAction" << false << 1 << QStringList();
    QTest::newRow("delete, Yes") << "deleteSystemAction" << true << 1 << QStringList{"ApplyListOperation(Delete)"};
    QTest::newRow("menu dismissed") << "" << true << 0 << QStringList();
}

void TestSystemListBox::menuCommands()
{
    QFETCH(QString, item);
    QFETCH(bool, confirm);
    QFETCH(int, confirmations);
    QFETCH(QStringList, calls);
    Fixture f(3);
    f.list.setCurrentRow(1);
    int asked = 0;
    QString question;
    f.list.setDeleteConfirmation([&](QWidget *parent, const QString &text) {
        ++asked;
        question = text;
        return parent == &f.list && confirm;
    });
    f.list.choose = item;
    rightClick(f.list, rowCentre(f.list, 1));
    QCOMPARE(asked, confirmations);
    QCOMPARE(f.host.calls, calls);
    // The question names the system it is about.
    if (confirmations)
        QCOMPARE(question, QStringLiteral("Are you sure you want to delete the system \"S1\"?"));
}

void TestSystemListBox::greyedCommandOnMissingSystemDoesNothing()
{
    Fixture f(2);
    f.list.setCurrentRow(-1);
    int asked = 0;
    f.list.setDeleteConfirmation([&](QWidget *, const QString &) {
        ++asked;
        return true;
    });
    for (const char *item : {"setupSystemAction", "launchEmuAction", "moveUpAction", "deleteSystemAction"}) {
        f.list.choose = QLatin1String(item);
        rightClick(f.list, QPoint(10, 3 * 38 + 5));
    }
    QCOMPARE(f.list.menusShown, 4);
    QCOMPARE(asked, 0);
    QCOMPARE(f.host.calls, QStringList());
}

void TestSystemListBox::userSelectionAndDoubleClickAreReported()
{
    Fixture f(4);
    QSignalSpy selection(&f.list, &SystemListBox::systemSelectionChanged);
    QSignalSpy doubleClicks(&f.list, &SystemListBox::systemDoubleClicked);
    marlit::CategoryCatalogue other = makeCatalogue(2);
    f.list.setCatalogue(other);
    f.list.setCurrentRow(1);
    QCOMPARE(selection.count(), 0);

    f.list.setCatalogue(f.catalogue);
    f.list.setCurrentRow(0);
    QTest::keyClick(&f.list, Qt::Key_Down);
    QCOMPARE(f.list.currentRow(), 1);
    QCOMPARE(selection.count(), 1);
    // The cards hold no text: a letter (every name begins with "S") selects nothing.
    QTest::keyClicks(&f.list, QStringLiteral("ss"));
    QCOMPARE(f.list.currentRow(), 1);
    QCOMPARE(selection.count(), 1);
    QTest::mouseClick(f.list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(f.list, 3));
    QCOMPARE(f.list.currentRow(), 3);
    QCOMPARE(selection.count(), 2);

    // A click below the cards leaves the selection, and so the current system, alone.
    QTest::mouseClick(f.list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5 * 38 + 5));
    QCOMPARE(f.list.currentRow(), 3);
    QCOMPARE(selection.count(), 2);

    QTest::mouseDClick(f.list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(f.list, 2));
    QCOMPARE(doubleClicks.count(), 1);
    QTest::mouseDClick(f.list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5 * 38 + 5));
    QCOMPARE(doubleClicks.count(), 1);
}

QTEST_MAIN(TestSystemListBox)
#include "tst_systemlistbox.moc"
