#include "gui/app/LauncherApp.h"

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtTest>

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
};

int main(int argc, char **argv)
{
    LauncherApp app(argv[0]);
    TestLauncherApp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_launcherapp.moc"
