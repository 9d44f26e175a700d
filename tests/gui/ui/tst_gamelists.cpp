// What a user with a collection already described by other front-ends sees, through the real
// window: titles in the rows, the details panel, the pictures of the media folders in the slots,
// "Sort by", a broken game list said and harmless, and the other front-ends' files untouched.

#include "ModalAnswer.h"
#include "SettingsBytes.h"
#include "TempDir.h"

#include "core/metadata/GameListChoice.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/browse/RomFolderTree.h"
#include "gui/catalogue/SystemConfigDialog.h"
#include "gui/launch/LaunchNotice.h"
#include "gui/metadata/GameDetailsPanel.h"
#include "gui/metadata/GameListLoader.h"
#include "gui/metadata/GameListsField.h"
#include "gui/snapshots/SnapshotLoader.h"
#include "gui/ui/GameListPresenter.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"
#include "gui/ui/RomListModel.h"
#include "gui/ui/SystemListBox.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QtTest>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

using marlit::test::TempDir;

namespace {

std::string record(const std::string &name, const std::string &romDirectory, const std::string &snapshotDirA = {})
{
    return "NAME = " + name + "\r\nDESC = \r\nROMDIR = " + romDirectory +
           "\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = " + snapshotDirA +
           "\r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

std::string golden(const char *name)
{
    std::ifstream file(std::string(MARLIT_METADATA_GOLDEN) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void savePicture(const std::string &path, Qt::GlobalColor color)
{
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(QString::fromStdString(path)));
}

QColor colourOf(const MainFrame &frame, int slot)
{
    const std::optional<SnapshotImage> &image = frame.snapshot(slot);
    return image && !image->isNull() ? image->image().pixelColor(1, 1) : QColor();
}

// Every file below folder with the digest of its bytes and its modification time.
QMap<QString, QString> fingerprints(const QString &folder)
{
    QMap<QString, QString> prints;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        prints[path] = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex() + " " +
                       QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
    }
    return prints;
}

} // namespace

class GameListsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<TempDir>();
        qputenv("HOME", QByteArray::fromStdString(m_dir->file("home")));
        // A Super Nintendo folder described by both formats: ES-DE's list and media in the home
        // folder's ES-DE place, Pegasus' file and media tree in the ROM folder.
        for (const char *rom : {"Super Adventure (USA).zip", "Star Quest (USA).sfc", "Plain.zip"})
            m_dir->write(std::string("roms/snes/") + rom);
        m_dir->write("home/ES-DE/gamelists/snes/gamelist.xml", golden("gamelist.xml"));
        m_dir->write("roms/snes/metadata.pegasus.txt", golden("metadata.pegasus.txt"));
        savePicture(m_dir->file("home/ES-DE/downloaded_media/snes/covers/Super Adventure (USA).png"), Qt::red);
        savePicture(m_dir->file("home/ES-DE/downloaded_media/snes/screenshots/Super Adventure (USA).png"), Qt::green);
        savePicture(m_dir->file("roms/snes/media/Star Quest (USA)/boxFront.png"), Qt::blue);
        // A NES folder whose list is broken, and one without any list.
        m_dir->write("roms/nes/Broken.nes");
        m_dir->write("roms/nes/gamelist.xml", "<gameList><game><path>./Broken.nes</path><name>Bro");
        m_dir->write("roms/plain/Nothing.gb");
        m_dir->write("console.ini", record("Super Nintendo", m_dir->file("roms/snes/")) +
                                        record("NES", m_dir->file("roms/nes/")) +
                                        record("Plain", m_dir->file("roms/plain/")));
        m_before = fingerprints(QString::fromStdString(m_dir->path()));
    }

    void cleanup()
    {
        // Nothing of the other front-ends' files was written, moved or touched.
        QMap<QString, QString> after = fingerprints(QString::fromStdString(m_dir->path()));
        for (const QString &own : {QStringLiteral("marlit.cfg"), QStringLiteral("history.db")})
            after.remove(QString::fromStdString(m_dir->file(own.toStdString())));
        for (auto it = after.begin(); it != after.end();)
            it = QFileInfo(it.key()).fileName().endsWith(QLatin1String(".ini")) ||
                         QFileInfo(it.key()).fileName().startsWith(QLatin1String("history"))
                     ? after.erase(it)
                     : std::next(it);
        for (auto it = m_before.begin(); it != m_before.end(); ++it)
            if (!QFileInfo(it.key()).fileName().endsWith(QLatin1String(".ini")))
                QCOMPARE(after.value(it.key()), it.value());
        m_dir.reset();
    }

    // Without any set-up: described titles in the rows, the panel, the cover and screenshot.
    void describedCollectionShowsWithoutSetUp()
    {
        QFETCH(int, mode);
        m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, mode, 1000, 700, 1, 0}.bytes());
        MainFrame frame(m_dir->path());
        frame.show();
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        waitForGames(frame);

        // Every file is listed for a system whose file types are not known, Pegasus' file too.
        // The game list's own file is no game: it is not listed.
        QCOMPARE(rowTexts(roms), QStringList({"Plain.zip", "Star Quest", "Super Adventure"}));
        auto *panel = frame.findChild<GameDetailsPanel *>(QStringLiteral("gameDetails"));
        QVERIFY(panel && panel->isVisible());

        roms->setCurrentIndex(roms->model()->index(2, 0));
        frame.snapshotLoader().waitForIdle();
        QCOMPARE(panel->title(), QStringLiteral("Super Adventure"));
        QVERIFY2(panel->facts().contains(QStringLiteral("1991-06-23 · Platform")), qPrintable(panel->facts()));
        QVERIFY(panel->facts().contains(QStringLiteral("Developer: Studio One")));
        QVERIFY(panel->facts().contains(QStringLiteral("Rating: ★★★★☆")));
        QVERIFY(panel->facts().contains(QStringLiteral("a favourite, played 12 times")));
        QVERIFY(panel->description().startsWith(QStringLiteral("A knight & his horse")));
        // Their favourite and plays stand in the row beside Marlit's own marks.
        QCOMPARE(roms->model()->index(2, 0).data(RomListModel::DetailRole).toString(), QStringLiteral("★ 12 plays"));
        if (mode != 0) {
            QCOMPARE(colourOf(frame, 0), QColor(Qt::red));
            QCOMPARE(colourOf(frame, 1), QColor(Qt::green));
        }

        // Pegasus' cover from its per-game media folder; an undescribed ROM says so.
        roms->setCurrentIndex(roms->model()->index(1, 0));
        frame.snapshotLoader().waitForIdle();
        QCOMPARE(panel->title(), QStringLiteral("Star Quest"));
        if (mode != 0) {
            QCOMPARE(colourOf(frame, 0), QColor(Qt::blue));
            QCOMPARE(colourOf(frame, 1), QColor()); // no screenshot: the slot is left empty
        }
        roms->setCurrentIndex(roms->model()->index(0, 0));
        QCOMPARE(panel->title(), QStringLiteral("Plain.zip"));
        QCOMPARE(panel->facts(), QStringLiteral("No description"));

        // The layout stays sound: the panel beside the list, clear of the pictures and the list.
        const QRect panelRect = panel->geometry();
        QVERIFY(frame.rect().contains(panelRect));
        QVERIFY(!panelRect.intersects(roms->geometry()));
        QVERIFY(roms->width() >= 200);
        const marlit::SnapshotGeometry &cells = frame.snapshotGeometry();
        if (mode != 0)
            for (const marlit::LayoutRect &cell : {cells.rectA, cells.rectB})
                QVERIFY(!panelRect.intersects(QRect(cell.x, cell.y, cell.width, cell.height)));
        auto *sortChoice = frame.findChild<QComboBox *>(QStringLiteral("sortChoice"));
        QVERIFY(sortChoice->isVisible());
        // Every order's name shows whole, "Release year" the longest.
        QVERIFY(sortChoice->width() >= sortChoice->sizeHint().width());
        QVERIFY(
            !sortChoice->geometry().intersects(frame.findChild<QWidget *>(QStringLiteral("searchEdit"))->geometry()));
    }
    void describedCollectionShowsWithoutSetUp_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("no snapshots") << 0;
        QTest::newRow("snapshots below") << 1;
        QTest::newRow("snapshots right") << 2;
    }

    // "Sort by" orders by what the lists say, keeping the selected ROM; Name brings the file
    // order back.
    void sortByOrdersTheRowsAndKeepsTheSelection()
    {
        m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, 2, 1000, 700, 1, 0}.bytes());
        MainFrame frame(m_dir->path());
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        waitForGames(frame);
        roms->setCurrentIndex(roms->model()->index(1, 0)); // Star Quest
        auto *sortChoice = frame.findChild<QComboBox *>(QStringLiteral("sortChoice"));
        QCOMPARE(sortChoice->currentText(), QStringLiteral("Name"));

        const struct
        {
            const char *sort;
            QStringList rows;
        } orders[] = {
            {"Release year", {"Super Adventure", "Star Quest", "Plain.zip"}},
            {"Most played", {"Super Adventure", "Plain.zip", "Star Quest"}},
            {"Last played", {"Super Adventure", "Plain.zip", "Star Quest"}},
            {"Name", {"Plain.zip", "Star Quest", "Super Adventure"}},
        };
        for (const auto &order : orders) {
            sortChoice->setCurrentText(QString::fromLatin1(order.sort));
            QVERIFY(frame.romFolderReader().waitForIdle());
            QTRY_COMPARE(rowTexts(roms), order.rows); // the plays wait for the history's answer
            QCOMPARE(roms->currentIndex().data().toString(), QStringLiteral("Star Quest"));
        }
    }

    // A broken list is said once in the notice over the list; its system lists its ROMs as ever,
    // its one game cut short left out; a system without lists shows no panel.
    void brokenListIsSaidAndHarmless()
    {
        m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, 1, 1000, 700, 1, 1}.bytes());
        MainFrame frame(m_dir->path());
        frame.show();
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        QVERIFY(frame.gameListPresenter().waitForIdle());
        QVERIFY(frame.romFolderReader().waitForIdle());
        QTRY_VERIFY(frame.findChild<LaunchNotice *>()->isVisible());
        QVERIFY2(frame.findChild<LaunchNotice *>()->message().contains(QStringLiteral("not well-formed")),
                 qPrintable(frame.findChild<LaunchNotice *>()->message()));
        QCOMPARE(rowTexts(roms), QStringList({"Broken.nes", "gamelist.xml"}));

        auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
        systems->setCurrentRow(2);
        frame.OnSelChangeSystem();
        QVERIFY(frame.gameListPresenter().waitForIdle());
        QVERIFY(frame.romFolderReader().waitForIdle());
        QCoreApplication::processEvents();
        QVERIFY(!frame.findChild<GameDetailsPanel *>(QStringLiteral("gameDetails"))->isVisible());
        QCOMPARE(rowTexts(roms), QStringList({"Nothing.gb"}));
    }

    // A ROM folder's named Pegasus metafile is found while a search narrows the ROMs, whether
    // the search keeps its name or not; the title it gives is then searched as well.
    void namedMetafileIsFoundWhateverTheSearch()
    {
        m_dir->write("roms/plain/plain.metadata.pegasus.txt", "game: Described Here\nfile: Nothing.gb\n");
        m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, 2, 1000, 700, 1, 0}.bytes());
        const struct
        {
            const char *search;
            QStringList rows;
        } cases[] = {
            {"Nothing", {"Described Here"}},   // the ROM's name, not the metafile's
            {"Described", {"Described Here"}}, // the title alone
            {"metadata", {}},                  // the metafile is read, not listed
        };
        for (const auto &test : cases) {
            MainFrame frame(m_dir->path());
            QVERIFY(frame.romFolderReader().waitForIdle());
            frame.applySearch(QString::fromLatin1(test.search));
            auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
            systems->setCurrentRow(2);
            frame.OnSelChangeSystem();
            waitForGames(frame);
            QTRY_COMPARE(rowTexts(frame.findChild<RomListBox *>(QStringLiteral("romList"))), test.rows);
        }
    }

    // "Name" orders by the titles shown: an arcade set named by short names reads in the order
    // of its games' names, a long one (ordered on a worker) as a short one, with an undescribed
    // file in its place among them and the selection kept when the list is read again.
    void nameOrdersByTheTitlesShown()
    {
        for (const int games : {3, 2500}) {
            std::string list = "<gameList>";
            for (int i = 0; i < games; ++i) // z0000.zip is "A 0000", z0001.zip "A 0001", ...
                list += "<game><path>./" +
                        QStringLiteral("z%1.zip").arg(games - 1 - i, 4, 10, QLatin1Char('0')).toStdString() +
                        "</path><name>" + QStringLiteral("A %1").arg(i, 4, 10, QLatin1Char('0')).toStdString() +
                        "</name></game>";
            m_dir->write("roms/plain/gamelist.xml", list + "</gameList>");
            for (int i = 0; i < games; ++i)
                m_dir->write(QStringLiteral("roms/plain/z%1.zip").arg(i, 4, 10, QLatin1Char('0')).toStdString());
            m_dir->write("roms/plain/B undescribed.zip");
            m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, 2, 1000, 700, 1, 0}.bytes());
            MainFrame frame(m_dir->path());
            QVERIFY(frame.romFolderReader().waitForIdle());
            auto *systems = frame.findChild<SystemListBox *>(QStringLiteral("systemList"));
            systems->setCurrentRow(2);
            frame.OnSelChangeSystem();
            waitForGames(frame);
            auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
            const QString last = QStringLiteral("A %1").arg(games - 1, 4, 10, QLatin1Char('0'));
            QTRY_COMPARE(rowTexts(roms).mid(0, 2), QStringList({"A 0000", "A 0001"}));
            // The list's own file is not among them.
            QCOMPARE(rowTexts(roms).mid(games - 1), QStringList({last, "B undescribed.zip", "Nothing.gb"}));
            QCOMPARE(roms->indexAt(QPoint(1, 1)).row(), 0); // shown from the top
            roms->setCurrentIndex(roms->model()->index(1, 0));
            frame.applySearch(QString()); // read again
            QVERIFY(frame.romFolderReader().waitForIdle());
            QTRY_COMPARE(roms->currentIndex().data().toString(), QStringLiteral("A 0001"));
            QCOMPARE(rowTexts(roms).first(), QStringLiteral("A 0000"));
        }
    }

    // "Game Lists:" in Setup says what was found; a media folder and a slot's kind chosen there
    // are kept in the system's values and used at once.
    void setupShowsWhatWasFoundAndKeepsAnotherChoice()
    {
        m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, 2, 1000, 700, 1, 0}.bytes());
        savePicture(m_dir->file("elsewhere/titlescreens/Super Adventure (USA).png"), Qt::yellow);
        MainFrame frame(m_dir->path());
        waitForGames(frame);
        QString shown;
        marlit::test::answerNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<SystemConfigDialog *>(modal);
            QVERIFY(dialog);
            GameListsField *field = dialog->gameListsField();
            shown = field->shownText();
            field->setPicker([&](QWidget *, bool folder) {
                return folder ? std::optional<std::string>(m_dir->file("elsewhere")) : std::nullopt;
            });
            emit field->menu()->aboutToShow();
            const auto action = [&](QMenu *menu, const QString &text) {
                for (QAction *candidate : menu->actions())
                    if (candidate->text() == text)
                        return candidate;
                return static_cast<QAction *>(nullptr);
            };
            action(field->menu(), QStringLiteral("Media Folder..."))->trigger();
            QMenu *slotA = action(field->menu(), QStringLiteral("Snapshot A Shows"))->menu();
            action(slotA, QStringLiteral("Title Screens"))->trigger();
            QVERIFY(field->shownText().startsWith(QStringLiteral("pictures in ")));
            dialog->accept();
        });
        frame.OnSetup();
        QVERIFY2(shown.contains(QStringLiteral("gamelist.xml")) && shown.contains(QStringLiteral("downloaded_media")),
                 qPrintable(shown));
        const marlit::GameListChoice choice = marlit::GameListChoice::of(*frame.systems().entryAt(0));
        QCOMPARE(choice.mediaFolder, m_dir->file("elsewhere"));
        QCOMPARE(choice.slotKinds[0], std::string("titlescreens"));
        QVERIFY(m_dir->read("console.values").find("game-list-media") != std::string::npos);

        waitForGames(frame);
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        roms->setCurrentIndex(roms->model()->index(2, 0)); // Super Adventure
        frame.snapshotLoader().waitForIdle();
        QCOMPARE(colourOf(frame, 0), QColor(Qt::yellow));
    }

    // "All Games" names a sub-folder's ROM with its sub-folder: its picture and its panel are the
    // game's all the same.
    void subFolderGameInAllGamesHasItsPicture()
    {
        m_dir->write("roms/snes/Europe/Racer (Europe).zip");
        savePicture(m_dir->file("home/ES-DE/downloaded_media/snes/covers/Europe/Racer (Europe).png"), Qt::yellow);
        m_dir->write("marlit.cfg", marlit::test::SettingsBytes{true, true, 2, 1000, 700, 1, 0}.bytes());
        MainFrame frame(m_dir->path());
        waitForGames(frame);
        auto *tree = frame.findChild<RomFolderTree *>(QStringLiteral("folderTree"));
        tree->setCurrentItem(tree->topLevelItem(0)); // "All Games"
        QVERIFY(frame.romFolderReader().waitForIdle());
        auto *roms = frame.findChild<RomListBox *>(QStringLiteral("romList"));
        QTRY_VERIFY(rowTexts(roms).contains(QStringLiteral("Racer")));
        roms->setCurrentIndex(roms->model()->index(int(rowTexts(roms).indexOf(QStringLiteral("Racer"))), 0));
        frame.snapshotLoader().waitForIdle();
        QCOMPARE(frame.gameListPresenter().panel()->title(), QStringLiteral("Racer"));
        QCOMPARE(colourOf(frame, 0), QColor(Qt::yellow));
    }

private:
    static void waitForGames(MainFrame &frame)
    {
        QVERIFY(frame.romFolderReader().waitForIdle());
        QVERIFY(frame.gameListPresenter().waitForIdle());
        QTRY_VERIFY(frame.gameListPresenter().describes());
        QVERIFY(frame.romFolderReader().waitForIdle());
    }

    static QStringList rowTexts(const RomListBox *roms)
    {
        QStringList texts;
        for (int row = 0; row < roms->model()->rowCount(); ++row)
            texts << roms->model()->index(row, 0).data().toString();
        return texts;
    }

    std::unique_ptr<TempDir> m_dir;
    QMap<QString, QString> m_before;
};

QTEST_MAIN(GameListsTest)
#include "tst_gamelists.moc"
