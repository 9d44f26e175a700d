// The TV view over the real window: entering and leaving keeps the system and the ROM, the rows
// choose in the window (systems of every category, the views, the on-screen search), the menu
// and the pictures; the keys alone drive it.

#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/browse/BrowsingState.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/tv/TvItemDelegate.h"
#include "gui/tv/TvLetterGrid.h"
#include "gui/tv/TvMenu.h"
#include "gui/tv/TvMode.h"
#include "gui/tv/TvText.h"
#include "gui/tv/TvView.h"
#include "gui/ui/BrowsingSession.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"

#include <QBackingStore>
#include <QDir>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QScreen>
#include <QTest>

using marlit::BrowseView;
using marlit::test::TempDir;

namespace {

std::string record(const std::string &name, const std::string &romDirectory, const std::string &snapshots = {})
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = " + snapshots +
           "\r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

int rowOf(const RomListBox &list, const std::string &name)
{
    for (int row = 0; row < list.count(); ++row)
        if (list.nameAt(row) == name)
            return row;
    return -1;
}

} // namespace

class TvModeTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup()
    {
        // The view goes before the window it shows, the window before its workspace.
        m_tv.reset();
        m_frame.reset();
        m_dir.reset();
    }
    void enteringAndLeavingKeepsSystemAndRom();
    void viewsSearchAndMenuChooseInTheWindow();
    void preparedViewEntersOnItsFrameBuffer();
    void largeTypeIsDrawnWhereTheToolkitDrawsIt();
    void describedGameShowsItsCover();

private:
    // Presses key in the TV view where its focus is, and waits for the readers.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<MainFrame> m_frame;
    std::unique_ptr<TvMode> m_tv;
};

void TvModeTest::init()
{
    m_dir = std::make_unique<TempDir>();
    for (const char *name : {"Zelda (U).nes", "MARIO.NES", "Metroid.nes"})
        m_dir->write(std::string("roms/nes/") + name);
    m_dir->write("roms/snes/F-Zero.sfc");
    m_dir->write("roms/gb/Tetris.gb");
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(QDir().mkpath(QString::fromStdString(m_dir->file("snaps/nes"))));
    QVERIFY(picture.save(QString::fromStdString(m_dir->file("snaps/nes/Metroid.png"))));
    m_dir->write("console.ini", record("NES", m_dir->file("roms/nes/"), m_dir->file("snaps/nes/")) +
                                    record("SNES", m_dir->file("roms/snes/")));
    m_dir->write("handheld.ini", record("Game Boy", m_dir->file("roms/gb/")));
    m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, marlit::SnapshotsBelow, 640, 480, 1, 0}.bytes());
    m_frame = std::make_unique<MainFrame>(m_dir->path());
    QVERIFY(m_frame->romFolderReader().waitForIdle());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    m_tv = std::make_unique<TvMode>(*m_frame);
}

void TvModeTest::press(int key, Qt::KeyboardModifiers modifiers)
{
    QWidget *focus = m_tv->view()->focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
    QVERIFY(m_frame->romFolderReader().waitForIdle());
}

void TvModeTest::enteringAndLeavingKeepsSystemAndRom()
{
    // F11 in the window enters; the games have the focus, on the window's ROM.
    auto *romList = m_frame->findChild<RomListBox *>(QStringLiteral("romList"));
    romList->setCurrentRow(rowOf(*romList, "Metroid.nes"));
    QTest::keyClick(m_frame.get(), Qt::Key_F11);
    QVERIFY(m_tv->active());
    QVERIFY(!m_frame->isVisible());
    TvView &tv = *m_tv->view();
    QCOMPARE(tv.focusWidget(), tv.gameList());
    QCOMPARE(tv.gameList()->currentRow(), rowOf(*romList, "Metroid.nes"));
    QTRY_VERIFY(tv.picture(0) && !tv.picture(0)->isNull()); // its picture, large
    QCOMPARE(tv.picture(0)->image().pixelColor(0, 0), QColor(Qt::red));
    press(Qt::Key_Down);
    press(Qt::Key_Up);
    m_frame->snapshotLoader().waitForIdle();
    QCoreApplication::processEvents();
    QVERIFY(!m_frame->snapshot(0)); // the hidden window decodes nothing meanwhile

    // A start that fails is said over the TV view, in its type, and stays said on leaving.
    LaunchNotice &notice = *m_frame->emulatorStarter().notice();
    notice.showFailure(QStringLiteral("The emulator did not start"));
    QVERIFY(notice.isVisible());
    QVERIFY(tv.isAncestorOf(&notice));
    QVERIFY(notice.fontInfo().pixelSize() >= tv.geometry().smallPixels);
    m_tv->leave();
    QVERIFY(notice.isVisible() && romList->isAncestorOf(&notice));
    QTRY_VERIFY(m_frame->snapshot(0) && !m_frame->snapshot(0)->isNull()); // the window's own, again
    notice.hide();
    m_tv->enter();

    // Up past the first game reaches the views, then the systems: of every category, in one row.
    press(Qt::Key_Home);
    press(Qt::Key_Up);
    QCOMPARE(tv.focusWidget(), tv.viewRow());
    press(Qt::Key_Up);
    QCOMPARE(tv.focusWidget(), tv.systemRow());
    QCOMPARE(tv.systemRow()->model()->rowCount(), 3); // not the blank records of the two other tabs
    press(Qt::Key_Right);
    QCOMPARE(m_frame->category(), 1);
    QCOMPARE(m_frame->currentSystemIndex(), 1);
    QCOMPARE(tv.gameList()->model()->rowCount(), 1); // F-Zero
    press(Qt::Key_PageDown, Qt::ControlModifier);    // the first system of the next category with one
    QCOMPARE(m_frame->category(), 2);
    QCOMPARE(m_frame->currentSystemIndex(), 0);
    QCOMPARE(romList->nameAt(0), std::string("Tetris.gb"));
    press(Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(m_frame->category(), 1);
    QCOMPARE(m_frame->currentSystemIndex(), 0);

    // Down to the games, a ROM chosen; leaving shows the window on the same system and ROM.
    press(Qt::Key_Down);
    press(Qt::Key_Down); // the first game is chosen on the way in
    QCOMPARE(tv.focusWidget(), tv.gameList());
    press(Qt::Key_Down);
    const int chosen = tv.gameList()->currentRow();
    QCOMPARE(chosen, 1);
    QCOMPARE(m_frame->browsingSession().state().rom(), romList->nameAt(chosen));
    press(Qt::Key_Escape);
    QCOMPARE(tv.focusWidget(), tv.systemRow());
    press(Qt::Key_Escape); // back from the systems leaves
    QVERIFY(!m_tv->active());
    QVERIFY(m_frame->isVisible());
    QCOMPARE(m_frame->category(), 1);
    QCOMPARE(m_frame->currentSystemIndex(), 0);
    QCOMPARE(romList->currentRow(), chosen);

    // A system chosen in the window meanwhile is the TV view's on the next entry.
    m_frame->showSystem(2, 0);
    m_tv->enter();
    QCOMPARE(tv.systemRow()->currentIndex().data().toString(), QStringLiteral("Game Boy"));
    QTest::keyClick(tv.focusWidget(), Qt::Key_F11);
    QVERIFY(!m_tv->active());
}

void TvModeTest::viewsSearchAndMenuChooseInTheWindow()
{
    m_tv->enter();
    TvView &tv = *m_tv->view();
    // The views row: the folders' root, the history's views, and the search.
    QStringList views;
    for (int row = 0; row < tv.viewRow()->model()->rowCount(); ++row)
        views << tv.viewRow()->model()->index(row, 0).data().toString();
    QCOMPARE(views, (QStringList{"ROMS", "All Games", "Favourites", "Recently Played", "Search"}));
    press(Qt::Key_Up);
    QCOMPARE(tv.focusWidget(), tv.viewRow());
    press(Qt::Key_Right); // "All Games"
    press(Qt::Key_Right);
    press(Qt::Key_Return);
    QCOMPARE(m_frame->browsingSession().state().view(), BrowseView::Favourites);
    QCOMPARE(tv.focusWidget(), tv.gameList());

    // Back to the folder, then the letters: each key narrows the window's list.
    press(Qt::Key_Up);
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    press(Qt::Key_Return);
    QCOMPARE(m_frame->browsingSession().state().view(), BrowseView::Folder);
    press(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(tv.letterGrid()->isVisible());
    press(Qt::Key_Down); // "K"
    press(Qt::Key_Return);
    QCOMPARE(tv.letterGrid()->text(), QStringLiteral("K"));
    press(Qt::Key_Right);
    press(Qt::Key_Right); // "M"
    press(Qt::Key_Return);
    QCOMPARE(tv.letterGrid()->text(), QStringLiteral("KM"));
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Down); // "Space", below "M"
    press(Qt::Key_Right);    // "Delete"
    press(Qt::Key_Return);
    QVERIFY(m_frame->romSearch().applied());
    QCOMPARE(m_frame->romSearch().text(), std::string("K"));
    QCOMPARE(tv.viewRow()->model()->index(4, 0).data().toString(), QStringLiteral("Search: K"));
    press(Qt::Key_Escape);
    QVERIFY(!tv.letterGrid()->isVisible());
    QCOMPARE(tv.focusWidget(), tv.gameList());

    // The menu offers what can be done now; "Stop Game" only while a game runs.
    press(Qt::Key_Menu);
    QVERIFY(tv.menu()->isVisible());
    QStringList entries;
    for (const TvMenu::Entry &entry : tv.menu()->entries())
        entries << entry.text;
    QCOMPARE(entries, (QStringList{"Search", "Leave TV Mode"})); // nothing matches "K": no ROM
    press(Qt::Key_Down);
    press(Qt::Key_Return);
    QVERIFY(!m_tv->active());
}

void TvModeTest::preparedViewEntersOnItsFrameBuffer()
{
    // Entered while it is being prepared: shown at once, the preparation given up.
    m_tv->prepare();
    QTRY_VERIFY(m_tv->view());
    m_tv->enter();
    QVERIFY(m_tv->active());
    QTRY_VERIFY(m_tv->prepared());
    m_tv->leave();

    // Prepared ahead, in the background of the window, which keeps the focus: the view's frame
    // buffer is the screen's size and filled, and the entry paints into that same memory.
    m_tv = std::make_unique<TvMode>(*m_frame);
    m_tv->prepare();
    QTRY_VERIFY(m_tv->prepared());
    TvView &tv = *m_tv->view();
    QVERIFY(!tv.isVisible() && m_frame->isActiveWindow());
    QBackingStore *store = tv.backingStore();
    QVERIFY(store);
    QCOMPARE(store->size(), m_frame->screen()->geometry().size());
    auto *frameBuffer = dynamic_cast<QImage *>(store->paintDevice());
    QVERIFY(frameBuffer);
    const uchar *memory = frameBuffer->constBits();
    QCOMPARE(frameBuffer->pixelColor(frameBuffer->width() - 1, frameBuffer->height() - 1),
             tv.palette().color(QPalette::Window));
    m_tv->enter();
    QVERIFY(QTest::qWaitForWindowExposed(&tv));
    QCOMPARE(tv.backingStore(), store);
    QCOMPARE(static_cast<QImage *>(store->paintDevice())->constBits(), memory);
    QCOMPARE(tv.focusWidget(), tv.gameList());
}

void TvModeTest::largeTypeIsDrawnWhereTheToolkitDrawsIt()
{
    // The lit pixels of a line of text in a 4K screen's sizes, from the glyph images and from
    // the toolkit's own outlines, in the same places (a glyph or two pixels off at most).
    const auto drawn = [](int pixels, bool byImages, TvText &text) {
        QImage image(2000, 300, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        painter.setFont(TvItemDelegate::font(pixels, pixels > 100));
        painter.setPen(Qt::white);
        const QRect box(20, 10, 1960, 280);
        const QString line = QStringLiteral("Zelda II (Rev 1) \u00e9\u00df\u65e5\u672c");
        byImages ? text.draw(painter, box, Qt::AlignHCenter | Qt::AlignVCenter, line)
                 : painter.drawText(box, Qt::AlignHCenter | Qt::AlignVCenter, line);
        QRect lit;
        qint64 count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) > 128) {
                    lit |= QRect(x, y, 1, 1);
                    ++count;
                }
        return std::pair{lit, count};
    };
    TvText text;
    for (const int pixels : {40, 96, 130}) {
        const auto [expected, expectedCount] = drawn(pixels, false, text);
        const auto [actual, actualCount] = drawn(pixels, true, text);
        QVERIFY2(expectedCount > 1000, qPrintable(QString::number(pixels)));
        QVERIFY2((actual.topLeft() - expected.topLeft()).manhattanLength() <= 4 &&
                     (actual.bottomRight() - expected.bottomRight()).manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1 px: %2,%3 %4x%5 against %6,%7 %8x%9")
                                .arg(pixels)
                                .arg(actual.x())
                                .arg(actual.y())
                                .arg(actual.width())
                                .arg(actual.height())
                                .arg(expected.x())
                                .arg(expected.y())
                                .arg(expected.width())
                                .arg(expected.height())));
        QVERIFY(std::abs(actualCount - expectedCount) < expectedCount / 20);
    }
    QVERIFY(text.bytes() > 0); // the large sizes came from images, the small one from the toolkit
}

// A system without snapshot folders that a game list describes shows a game's cover from it, as
// large as fits, and what the list says of the game under it; a game it does not describe shows
// neither.
void TvModeTest::describedGameShowsItsCover()
{
    m_dir->write("roms/snes/Undescribed.sfc");
    QImage cover(40, 80, QImage::Format_RGB32);
    cover.fill(Qt::blue);
    QVERIFY(QDir().mkpath(QString::fromStdString(m_dir->file("roms/snes/covers"))));
    QVERIFY(cover.save(QString::fromStdString(m_dir->file("roms/snes/covers/F-Zero.png"))));
    m_dir->write("roms/snes/gamelist.xml", "<gameList><game><path>./F-Zero.sfc</path><name>F-Zero</name>"
                                           "<releasedate>19901121T000000</releasedate><genre>Racing</genre>"
                                           "<desc>Hover cars race\n  at speed.</desc>"
                                           "<thumbnail>./covers/F-Zero.png</thumbnail></game></gameList>");
    m_frame->showSystem(1, 1); // "Console", SNES
    QVERIFY(m_frame->romFolderReader().waitForIdle());
    auto *romList = m_frame->findChild<RomListBox *>(QStringLiteral("romList"));
    romList->setCurrentRow(rowOf(*romList, "F-Zero.sfc"));
    QTest::keyClick(m_frame.get(), Qt::Key_F11);
    TvView &tv = *m_tv->view();
    QTRY_VERIFY(tv.picture(0) && !tv.picture(0)->isNull()); // once the game list has come
    QCOMPARE(tv.picture(0)->image().pixelColor(1, 1), QColor(Qt::blue));
    QCOMPARE(tv.picture(0)->fit(), SnapshotImage::Fit::KeepProportions);
    // Its facts and description under the picture.
    QCOMPARE(tv.gameFacts(), QStringLiteral("1990-11-21 · Racing"));
    QCOMPARE(tv.gameDescription(), QStringLiteral("Hover cars race at speed."));
    tv.gameList()->setCurrentRow(rowOf(*romList, "Undescribed.sfc"));
    QTRY_VERIFY(!tv.picture(0));
    QVERIFY(tv.gameFacts().isEmpty() && tv.gameDescription().isEmpty());
}

QTEST_MAIN(TvModeTest)
#include "tst_tvmode.moc"
