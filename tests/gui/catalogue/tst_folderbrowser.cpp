// The folder picker as a user meets it: opened on its start folder, a status line that follows
// the highlighted folder, OK only with a folder highlighted, and the two results.

#include "gui/catalogue/FolderBrowser.h"

#include "TempDir.h"

#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <functional>

using marlit::test::TempDir;

namespace {

// Runs answer on the picker once its modal loop runs, then returns what Browse returned.
int browseAnswering(FolderBrowser &browser, std::function<void()> answer)
{
    QTimer::singleShot(0, &browser, std::move(answer));
    return browser.Browse();
}

QFileSystemModel *modelOf(FolderBrowser &browser)
{
    return qobject_cast<QFileSystemModel *>(browser.folderTree()->model());
}

QString withoutSlash(const std::string &folder)
{
    return QString::fromStdString(folder).chopped(1);
}

QPushButton *okButton(FolderBrowser &browser)
{
    return browser.findChild<QPushButton *>(QStringLiteral("okButton"));
}

} // namespace

class FolderBrowserTest : public QObject
{
    Q_OBJECT

private slots:
    void opensOnTheStartFolderAndEnterChoosesIt();
    void missingStartFolderShowsItsPathUntilAFolderIsHighlighted();
    void longPathIsShortenedInTheMiddle();
    void placesAndATypedPathChooseFoldersOutOfTheTree();
    void rowUnderThePointerHoldsStillAsFoldersComeAndGo();
};

// Many folders beside the start folder, sorted before it, so that it is out of sight unless the
// tree scrolls to it; a hidden one among them.
void FolderBrowserTest::opensOnTheStartFolderAndEnterChoosesIt()
{
    TempDir dir;
    for (int i = 0; i < 80; ++i)
        dir.makeFolder("roms/console/a" + std::to_string(100 + i));
    dir.makeFolder("roms/console/.hidden");
    dir.makeFolder("roms/console/zz nintendo");
    const std::string start = dir.file("roms/console/zz nintendo/");

    FolderBrowser browser(start);
    QFileSystemModel *model = modelOf(browser);
    QTreeView *tree = browser.folderTree();
    QString highlighted, status;
    bool parentsExpanded = true, focused = false, inView = false, okEnabled = false;
    int shownSiblings = -1;
    bool hiddenShown = true;
    const int result = browseAnswering(browser, [&] {
        const QModelIndex current = tree->currentIndex();
        highlighted = tree->selectionModel()->isSelected(current) ? model->filePath(current) : QString();
        for (QModelIndex parent = current.parent(); parent.isValid(); parent = parent.parent())
            parentsExpanded = parentsExpanded && tree->isExpanded(parent);
        status = browser.statusText();
        okEnabled = okButton(browser)->isEnabled();
        focused = QTest::qWaitForWindowActive(&browser) && tree->hasFocus();
        // The other folders arrive from the model's own thread and are sorted before the start
        // folder, which must stay in view as it moves to the last row.
        const QModelIndex console = current.parent();
        const bool loaded =
            QTest::qWaitFor([&] { return model->rowCount(console) == 81 && tree->currentIndex().row() == 80; });
        inView = loaded && QTest::qWaitFor([&] {
                     return tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex()));
                 });
        shownSiblings = model->rowCount(console);
        hiddenShown = false;
        for (int row = 0; row < shownSiblings; ++row)
            hiddenShown = hiddenShown || model->index(row, 0, console).data().toString().startsWith(u'.');
        QTest::keyClick(tree, Qt::Key_Return);
    });

    QCOMPARE(highlighted, withoutSlash(start));
    QVERIFY(parentsExpanded);
    QVERIFY(focused);
    QCOMPARE(status, QString::fromStdString(start)); // whole, as it fits
    QVERIFY(okEnabled);
    QCOMPARE(shownSiblings, 81);
    QVERIFY(!hiddenShown);
    QVERIFY(inView);
    QCOMPARE(result, int(FolderBrowser::FolderChosen));
    QCOMPARE(QString::fromStdString(browser.GetPath()), withoutSlash(start));
}

void FolderBrowserTest::missingStartFolderShowsItsPathUntilAFolderIsHighlighted()
{
    TempDir dir;
    dir.makeFolder("roms");
    const std::string missing = dir.file("no such folder/");

    FolderBrowser browser(missing);
    QFileSystemModel *model = modelOf(browser);
    QString statusAtStart, statusAfter;
    bool okAtStart = true, okAfter = false, highlightedAtStart = true;
    const int result = browseAnswering(browser, [&] {
        statusAtStart = browser.statusText();
        okAtStart = okButton(browser)->isEnabled();
        highlightedAtStart = browser.folderTree()->selectionModel()->hasSelection();
        // Enter does nothing while OK is unavailable.
        QTest::keyClick(browser.folderTree(), Qt::Key_Return);
        browser.folderTree()->setCurrentIndex(model->index(QString::fromStdString(dir.file("roms"))));
        statusAfter = browser.statusText();
        okAfter = okButton(browser)->isEnabled();
        browser.findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
    });
    QCOMPARE(statusAtStart, QString::fromStdString(missing));
    QVERIFY(!okAtStart);
    QVERIFY(!highlightedAtStart);
    QCOMPARE(statusAfter, QString::fromStdString(dir.file("roms")));
    QVERIFY(okAfter);
    QCOMPARE(result, int(FolderBrowser::Cancelled));

    // No start folder: nothing highlighted, an empty status line; Escape cancels.
    FolderBrowser empty("");
    QString emptyStatus = QStringLiteral("unset");
    const int escaped = browseAnswering(empty, [&] {
        emptyStatus = empty.statusText();
        highlightedAtStart = empty.folderTree()->selectionModel()->hasSelection();
        QTest::keyClick(empty.folderTree(), Qt::Key_Escape);
    });
    QCOMPARE(emptyStatus, QString());
    QVERIFY(!highlightedAtStart);
    QCOMPARE(escaped, int(FolderBrowser::Cancelled));
}

// A path longer than the status line keeps its start and the folder it ends in, with "…"
// between, and fits the line; its tooltip gives it whole. The dialog does not grow for it.
void FolderBrowserTest::longPathIsShortenedInTheMiddle()
{
    TempDir dir;
    std::string deep = "roms";
    for (int i = 0; i < 12; ++i)
        deep += "/a folder with a long name " + std::to_string(i);
    deep += "/Super Nintendo";
    dir.makeFolder(deep);
    const std::string start = dir.file(deep);

    FolderBrowser browser(start);
    QString status, toolTip;
    int lineWidth = 0, shownWidth = 0, dialogWidth = 0;
    const int openingWidth = browser.width();
    browseAnswering(browser, [&] {
        auto *line = browser.findChild<QLabel *>(QStringLiteral("statusLine"));
        status = browser.statusText();
        toolTip = line->toolTip();
        lineWidth = line->contentsRect().width();
        shownWidth = line->fontMetrics().horizontalAdvance(status);
        dialogWidth = browser.width();
        QTest::keyClick(browser.folderTree(), Qt::Key_Escape);
    });
    QVERIFY2(status.startsWith(QString::fromStdString(dir.path())), qPrintable(status));
    QVERIFY2(status.endsWith(QStringLiteral("/Super Nintendo")), qPrintable(status));
    QVERIFY(status.contains(QChar(0x2026)));
    QVERIFY(shownWidth <= lineWidth);
    QVERIFY(toolTip.contains(QStringLiteral("a folder with a long name 11/Super Nintendo")));
    QCOMPARE(dialogWidth, openingWidth);
}

// The places hold home and the other systems' folders, once each; a click on one highlights it.
// A path typed or pasted into the field is chosen as typed by Enter, even before the tree has it.
void FolderBrowserTest::placesAndATypedPathChooseFoldersOutOfTheTree()
{
    TempDir dir;
    dir.makeFolder("roms/snes");
    dir.makeFolder("roms/gb");
    const std::string snes = dir.file("roms/snes");
    FolderBrowser browser(dir.file("roms/gb/"), nullptr, {snes + "/", snes, ""});
    QStringList placePaths;
    QString highlightedAfterClick;
    const int result = browseAnswering(browser, [&] {
        QListWidget *places = browser.placeList();
        for (int row = 0; row < places->count(); ++row)
            placePaths << places->item(row)->data(Qt::UserRole).toString();
        QListWidgetItem *snesPlace = places->item(places->count() - 1);
        QTest::mouseClick(places->viewport(), Qt::LeftButton, {}, places->visualItemRect(snesPlace).center());
        highlightedAfterClick = modelOf(browser)->filePath(browser.folderTree()->currentIndex());
        auto *field = browser.findChild<QLineEdit *>(QStringLiteral("pathField"));
        field->selectAll();
        QTest::keyClicks(field, QString::fromStdString(dir.file("not yet made/")));
        QVERIFY(okButton(browser)->isEnabled());
        QTest::keyClick(field, Qt::Key_Return);
    });
    QCOMPARE(placePaths.first(), QDir::homePath());
    QCOMPARE(placePaths.count(QString::fromStdString(snes)), 1);
    QCOMPARE(placePaths.last(), QString::fromStdString(snes));
    QCOMPARE(highlightedAfterClick, QString::fromStdString(snes));
    QCOMPARE(result, int(FolderBrowser::FolderChosen));
    QCOMPARE(browser.GetPath(), dir.file("not yet made"));
}

// The pointer rests on a row while folders come and go above it (another program copying,
// renaming, deleting): the row under it holds still, so that a click hits the folder aimed at.
void FolderBrowserTest::rowUnderThePointerHoldsStillAsFoldersComeAndGo()
{
    TempDir dir;
    for (int i = 0; i < 60; ++i)
        dir.makeFolder("roms/b" + std::to_string(100 + i));
    const auto folder = [&](const std::string &name) { return dir.file("roms/" + name); };
    struct Change
    {
        const char *what;
        std::function<void()> make;
        int rows; // in "roms" after it
    };
    const Change changes[] = {
        {"ten folders made above",
         [&] {
             for (int i = 0; i < 10; ++i)
                 QDir().mkdir(QString::fromStdString(folder("a" + std::to_string(100 + i))));
         },
         70},
        {"five of them removed",
         [&] {
             for (int i = 0; i < 5; ++i)
                 QDir().rmdir(QString::fromStdString(folder("a" + std::to_string(100 + i))));
         },
         65},
        {"one renamed to sort below",
         [&] { QDir().rename(QString::fromStdString(folder("a105")), QString::fromStdString(folder("c105"))); }, 65},
        {"one renamed to sort above",
         [&] { QDir().rename(QString::fromStdString(folder("c105")), QString::fromStdString(folder("a000"))); }, 65},
    };
    FolderBrowser browser(folder("b130/"));
    QFileSystemModel *model = modelOf(browser);
    QTreeView *tree = browser.folderTree();
    QStringList seen; // per change: the folder under the pointer and where its row stands
    QString before;
    browseAnswering(browser, [&] {
        const QModelIndex roms = model->index(QString::fromStdString(dir.file("roms")));
        const auto settled = [&](int rows) {
            if (model->rowCount(roms) != rows)
                return false;
            for (int row = 1; row < rows; ++row)
                if (model->index(row - 1, 0, roms).data().toString() > model->index(row, 0, roms).data().toString())
                    return false;
            return true;
        };
        if (QTest::qWaitFor([&] { return settled(60); })) {
            const QModelIndex aimed = model->index(QString::fromStdString(folder("b130")));
            tree->scrollTo(aimed, QAbstractItemView::PositionAtCenter);
            const QPoint pointer = tree->visualRect(aimed).center();
            QCursor::setPos(tree->viewport()->mapToGlobal(pointer));
            const auto underPointer = [&] {
                const QModelIndex index = tree->indexAt(pointer);
                return model->fileName(index) + QStringLiteral(" at ") + QString::number(tree->visualRect(index).top());
            };
            before = underPointer();
            for (const Change &change : changes) {
                change.make();
                const bool done = QTest::qWaitFor([&] { return settled(change.rows); });
                QTest::qWait(100); // a late sort
                seen << QString::fromLatin1(change.what) + QStringLiteral(": ") +
                            (done ? underPointer() : QStringLiteral("never seen"));
            }
        }
        browser.reject();
    });
    QVERIFY(before.startsWith(QStringLiteral("b130 at ")));
    QStringList expected;
    for (const Change &change : changes)
        expected << QString::fromLatin1(change.what) + QStringLiteral(": ") + before;
    QCOMPARE(seen, expected);
}

QTEST_MAIN(FolderBrowserTest)
#include "tst_folderbrowser.moc"
