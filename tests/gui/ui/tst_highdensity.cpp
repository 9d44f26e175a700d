#include "gui/snapshots/SnapshotImage.h"
#include "gui/ui/SystemCardDelegate.h"
#include "gui/ui/SystemListModel.h"

#include "TempDir.h"
#include "core/catalogue/SystemEntry.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QtTest>

namespace {

// A picture whose every pixel differs from its neighbours: any scaling blurs it to grey.
QImage checkerboard(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return image;
}

// A canvas of a screen with two device pixels per window pixel.
QImage denseCanvas(QSize windowPixels)
{
    QImage canvas(windowPixels * 2, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(2.0);
    canvas.fill(Qt::gray);
    return canvas;
}

// How many pixels of the picture differ from the canvas at the given device pixel offset.
int differences(const QImage &canvas, QPoint offset, const QImage &picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += canvas.pixel(offset.x() + x, offset.y() + y) != picture.pixel(x, y);
    return count;
}

} // namespace

// On a screen of twice the density, pictures that have the detail show it pixel for pixel
// rather than being drawn at window size and stretched.
class TestHighDensity : public QObject
{
    Q_OBJECT

private slots:
    void cardIconUsesTheFilesOwnPixels()
    {
        marlit::test::TempDir dir;
        const QImage icon = checkerboard(QSize(64, 64));
        QVERIFY(icon.save(QString::fromStdString(dir.file("icon.png")), "PNG"));
        marlit::SystemEntry entry;
        entry.name = "Dense";
        entry.iconPath = dir.file("icon.png");

        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QVariant::fromValue<const marlit::SystemEntry *>(&entry),
                      SystemListModel::EntryRole);
        SystemCardDelegate delegate(96);
        const QRect card(0, 0, 200, SystemCardDelegate::kCardHeight);
        QImage canvas = denseCanvas(card.size());
        {
            QPainter painter(&canvas);
            QStyleOptionViewItem option;
            option.rect = card;
            option.state = QStyle::State_Enabled;
            delegate.paint(&painter, option, model.index(0, 0));
        }
        const QRect iconRect = SystemCardDelegate::CardLayout::forItem(card, false).icon;
        QCOMPARE(differences(canvas, iconRect.topLeft() * 2, icon), 0);
    }

    void snapshotUsesThePicturesOwnPixels()
    {
        const QImage picture = checkerboard(QSize(200, 100));
        const SnapshotImage snapshot(picture);
        QImage canvas = denseCanvas(QSize(120, 60));
        {
            QPainter painter(&canvas);
            snapshot.draw(painter, QRect(10, 5, 100, 50));
        }
        QCOMPARE(differences(canvas, QPoint(20, 10), picture), 0);
    }
};

QTEST_MAIN(TestHighDensity)
#include "tst_highdensity.moc"
