#include "gui/app/LauncherApp.h"
#include "gui/ui/RomListBox.h"

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <vector>

// Runs inside a LauncherApp, the program's own application object.
class TestLauncherApp : public QObject
{
    Q_OBJECT

private slots:
    // The icon is the program's own drawing, compiled in: rendered at any size from the vector
    // drawing, with the orange label of the cartridge where it belongs, and shown by every window.
    void iconIsMarlitsDrawingOnEveryWindow()
    {
        for (const int size : {16, 64, 256}) {
            const QImage image = LauncherApp::applicationIcon().pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // On the 128-unit grid, (42, 80) lies on the label beside the play sign.
            const QColor label = image.pixelColor(size * 42 / 128, size * 80 / 128);
            QVERIFY2(label.red() > 200 && label.green() > 60 && label.blue() < 100,
                     qPrintable(QStringLiteral("%1 px: %2").arg(size).arg(label.name())));
            // The tile's corners are rounded off: transparent, not a square of colour.
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        }

        QDialog dialog;
        QCOMPARE(dialog.windowIcon().cacheKey(), qApp->windowIcon().cacheKey());
        QVERIFY(!dialog.windowIcon().pixmap(32, 32).isNull());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral(MARLIT_APP_ID));
    }

    // The logo of the options dialog comes from the same resource and stays sharp on a dense
    // screen: drawn at twice the pixels, not scaled up from its 152 x 55.
    void logoRendersAtTheScreensDensity()
    {
        const QIcon logo(QStringLiteral(":/marlit/marlit-logo.svg"));
        const QPixmap pixmap = logo.pixmap(QSize(152, 55), 2.0);
        QCOMPARE(pixmap.size(), QSize(304, 110));
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);
    }

    // A key held under X arrives as a press, then a release and a press with the same time stamp
    // at every repeat, which the toolkit may report as new presses. Held Enter acts once, in the
    // ROM list and on a focused button; held arrows go on moving; a held Space clicks once.
    void heldKeysActOncePerPressWhateverTheRepeatLooksLike()
    {
        const auto hold = [](QWidget *widget, Qt::Key key, quint64 start, int repeats) {
            const auto send = [&](QEvent::Type type, quint64 time) {
                QKeyEvent event(type, key, Qt::NoModifier, key == Qt::Key_Space ? QStringLiteral(" ") : QString());
                event.setTimestamp(time);
                QApplication::sendEvent(widget, &event);
            };
            send(QEvent::KeyPress, start);
            quint64 time = start + 500;
            for (int i = 0; i < repeats; ++i, time += 40) {
                send(QEvent::KeyRelease, time);
                send(QEvent::KeyPress, time);
            }
            send(QEvent::KeyRelease, time + 7);
        };

        RomListBox list;
        list.setNames({"a.nes", "b.nes", "c.nes", "d.nes", "e.nes", "f.nes"});
        list.setCurrentRow(0);
        QSignalSpy plays(&list, &RomListBox::playRequested);
        hold(&list, Qt::Key_Return, 1000, 5);
        QCOMPARE(plays.count(), 1);
        hold(&list, Qt::Key_Enter, 3000, 5);
        QCOMPARE(plays.count(), 2);
        hold(&list, Qt::Key_Down, 5000, 3);
        QCOMPARE(list.currentRow(), 4);

        QPushButton play(QStringLiteral("Play!"));
        play.setDefault(true);
        QSignalSpy clicks(&play, &QPushButton::clicked);
        hold(&play, Qt::Key_Return, 7000, 5);
        QCOMPARE(clicks.count(), 1);
        hold(&play, Qt::Key_Space, 9000, 5);
        QCOMPARE(clicks.count(), 2);
    }

    // What is not a repeat acts each time: presses of Enter a moment apart, a press of Enter in
    // the same millisecond as the release of another key (fast typing), presses without a time
    // stamp (sent by a program); the toolkit's own repeat flag is a repeat whatever the stamps.
    void pressesThatAreNotRepeatsActEachTime()
    {
        struct Key
        {
            QEvent::Type type;
            Qt::Key key;
            quint64 time;
            bool autoRepeat = false;
        };
        const QEvent::Type press = QEvent::KeyPress, release = QEvent::KeyRelease;
        struct Case
        {
            const char *name;
            std::vector<Key> keys;
            int plays;
            int row;
        } cases[] = {
            {"two presses apart",
             {{press, Qt::Key_Return, 100}, {release, Qt::Key_Return, 150}, {press, Qt::Key_Return, 151}},
             2,
             0},
            {"Enter as Down is let go",
             {{press, Qt::Key_Down, 100}, {release, Qt::Key_Down, 160}, {press, Qt::Key_Return, 160}},
             1,
             1},
            {"no time stamps",
             {{press, Qt::Key_Return, 0}, {release, Qt::Key_Return, 0}, {press, Qt::Key_Return, 0}},
             2,
             0},
            {"the toolkit's repeat flag",
             {{press, Qt::Key_Return, 100}, {press, Qt::Key_Return, 600, true}, {press, Qt::Key_Return, 640, true}},
             1,
             0},
            {"held Down flagged as repeats moves on",
             {{press, Qt::Key_Down, 100}, {press, Qt::Key_Down, 600, true}, {press, Qt::Key_Down, 640, true}},
             0,
             3},
        };
        for (const Case &c : cases) {
            RomListBox list;
            list.setNames({"a.nes", "b.nes", "c.nes", "d.nes", "e.nes", "f.nes"});
            list.setCurrentRow(0);
            QSignalSpy plays(&list, &RomListBox::playRequested);
            for (const Key &k : c.keys) {
                QKeyEvent event(k.type, k.key, Qt::NoModifier, QString(), k.autoRepeat);
                event.setTimestamp(k.time);
                QApplication::sendEvent(&list, &event);
            }
            QVERIFY2(plays.count() == c.plays, c.name);
            QVERIFY2(list.currentRow() == c.row, c.name);
        }
    }
};

int main(int argc, char **argv)
{
    LauncherApp app(argv[0]);
    TestLauncherApp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_launcherapp.moc"
