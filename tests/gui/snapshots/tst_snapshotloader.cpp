#include "gui/snapshots/SnapshotLoader.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <sys/stat.h>
#include <vector>

using marlit::test::TempDir;

namespace {

// A picture whose left half is one colour and right half another, so stretching shows.
QImage halves(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 2, size.height(), left);
    painter.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), right);
    return image;
}

// Noise does not compress, so the picture takes a while to decode.
QImage noise(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    return image;
}

QString qPath(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool near(QRgb actual, QColor expected, int tolerance = 24)
{
    return qAbs(qRed(actual) - expected.red()) <= tolerance && qAbs(qGreen(actual) - expected.green()) <= tolerance &&
           qAbs(qBlue(actual) - expected.blue()) <= tolerance;
}

QString describe(QRgb colour)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(colour)).arg(qGreen(colour)).arg(qBlue(colour));
}

// Every delivery, in order.
struct Delivery
{
    int slot;
    SnapshotImage image;
};

class Recorder
{
public:
    explicit Recorder(SnapshotLoader &loader)
    {
        QObject::connect(&loader, &SnapshotLoader::snapshotReady, &loader,
                         [this](int slot, const SnapshotImage &image) {
                             deliveries.push_back({slot, image});
                         });
    }
    std::vector<Delivery> deliveries;
};

// A GIF of 2 x 1 pixels, red then blue, written by hand since Qt has no GIF writer.
const unsigned char kTinyGif[] = {
    'G',  'I',  'F',  '8',  '9',  'a',                    // signature
    0x02, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,             // 2 x 1, global colour table of 2 entries
    0xff, 0x00, 0x00, 0x00, 0x00, 0xff,                   // red, blue
    0x2c, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0x00, // image at 0,0, 2 x 1
    0x00, 0x02, 0x02, 0x44, 0x0a, 0x00,                   // LZW: clear, 0, 1, end
    0x3b,
};

} // namespace

class SnapshotLoaderTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesCommonFormats_data();
    void decodesCommonFormats();
    void decodesGif();
    void findsThePictureOfARom();
    void fallsBackToNoShotInTheWorkingDirectory();
    void unreadableFilesGiveNullPictures();
    void opensByTheNamesOwnBytesAndNotByItsExtension();
    void fifoIsRefusedWithoutBlocking();
    void staleResultIsNeverDelivered();
    void slotsAreIndependent();
    void cancelDropsWhatIsPending();
    void destroyedWhileDecoding();
    void decodeStopsOnceNoLongerWanted();
    void drawStretchesIntoTheTarget();
    void drawUsesTheScaledCopyOnlyAtItsSize();
    void nullPictureDrawsNothing();

private:
    TempDir m_temp;
};

void SnapshotLoaderTest::decodesCommonFormats_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("png") << "png";
    QTest::newRow("jpeg") << "jpg";
    QTest::newRow("bmp") << "bmp";
    QTest::newRow("ico") << "ico";
}

void SnapshotLoaderTest::decodesCommonFormats()
{
    QFETCH(QString, format);
    const std::string file = m_temp.file("picture." + format.toStdString());
    QVERIFY(halves({32, 16}, Qt::red, Qt::blue).save(qPath(file), format.toLatin1().constData()));

    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestFile(0, file, {});
    loader.waitForIdle();

    QCOMPARE(recorder.deliveries.size(), std::size_t(1));
    const QImage &image = recorder.deliveries[0].image.image();
    QCOMPARE(image.size(), QSize(32, 16));
    QVERIFY2(near(image.pixel(4, 8), Qt::red), qPrintable(describe(image.pixel(4, 8))));
    QVERIFY2(near(image.pixel(27, 8), Qt::blue), qPrintable(describe(image.pixel(27, 8))));
}

void SnapshotLoaderTest::decodesGif()
{
    m_temp.write("tiny.gif", std::string_view(reinterpret_cast<const char *>(kTinyGif), sizeof kTinyGif));
    const SnapshotImage picture = SnapshotImage::load(m_temp.file("tiny.gif"));
    QCOMPARE(picture.image().size(), QSize(2, 1));
    QCOMPARE(describe(picture.image().pixel(0, 0)), describe(qRgb(255, 0, 0)));
    QCOMPARE(describe(picture.image().pixel(1, 0)), describe(qRgb(0, 0, 255)));
}

void SnapshotLoaderTest::findsThePictureOfARom()
{
    m_temp.makeFolder("snaps");
    QVERIFY(halves({8, 8}, Qt::green, Qt::green).save(qPath(m_temp.file("snaps/Zelda.png"))));

    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestSnapshot(1, m_temp.file("snaps/"), "Zelda (U) [!].nes", {4, 4});
    loader.waitForIdle();

    QCOMPARE(recorder.deliveries.size(), std::size_t(1));
    QCOMPARE(recorder.deliveries[0].slot, 1);
    QCOMPARE(recorder.deliveries[0].image.image().size(), QSize(8, 8)); // the picture itself stays whole
    QVERIFY(near(recorder.deliveries[0].image.image().pixel(2, 2), Qt::green));
}

void SnapshotLoaderTest::fallsBackToNoShotInTheWorkingDirectory()
{
    TempDir work;
    work.makeFolder("snaps");
    QVERIFY(halves({6, 6}, Qt::yellow, Qt::yellow).save(qPath(work.file("NoShot.png"))));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(qPath(work.path())));

    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestSnapshot(0, work.file("snaps/"), "Mario (U).nes", {});
    loader.waitForIdle();
    QDir::setCurrent(previous);

    QCOMPARE(recorder.deliveries.size(), std::size_t(1));
    QCOMPARE(recorder.deliveries[0].image.image().size(), QSize(6, 6));
    QVERIFY(near(recorder.deliveries[0].image.image().pixel(1, 1), Qt::yellow));
}

void SnapshotLoaderTest::opensByTheNamesOwnBytesAndNotByItsExtension()
{
    QVERIFY(halves({32, 32}, Qt::red, Qt::blue).save(qPath(m_temp.file("source.png"))));
    // A Latin-1 name is not valid UTF-8: converted to text and back it would name another file.
    const std::string latin1 = m_temp.file("Pok\xe9mon.png");
    const std::string misnamed = m_temp.file("really a png.jpg");
    QVERIFY(QFile::copy(qPath(m_temp.file("source.png")), qPath(misnamed)));
    m_temp.write("Pok\xe9mon.png", m_temp.read("source.png"));
    for (const std::string &path : {latin1, misnamed}) {
        const SnapshotImage picture = SnapshotImage::load(path);
        QVERIFY2(!picture.isNull(), path.c_str());
        QCOMPARE(picture.image().size(), QSize(32, 32));
    }
}

void SnapshotLoaderTest::fifoIsRefusedWithoutBlocking()
{
    // Opening a FIFO for reading waits for a writer: a picture there would hang the decoder.
    const std::string fifo = m_temp.file("pipe.png");
    QCOMPARE(::mkfifo(fifo.c_str(), 0644), 0);
    QVERIFY(SnapshotImage::load(fifo).isNull());
}

void SnapshotLoaderTest::unreadableFilesGiveNullPictures()
{
    QVERIFY(halves({64, 64}, Qt::red, Qt::blue).save(qPath(m_temp.file("whole.png"))));
    const std::string png = m_temp.read("whole.png");
    m_temp.write("truncated.png", std::string_view(png).substr(0, png.size() / 2));
    m_temp.write("garbage.png", "this is no picture");
    m_temp.write("empty.jpg", "");
    m_temp.write("lying.gif", std::string_view(png).substr(0, 40));
    m_temp.makeFolder("folder.png");

    const std::string files[] = {"garbage.png", "empty.jpg", "lying.gif", "missing.png", "folder.png"};
    SnapshotLoader loader;
    Recorder recorder(loader);
    for (const std::string &file : files) {
        recorder.deliveries.clear();
        loader.requestFile(0, m_temp.file(file), {10, 10});
        loader.waitForIdle();
        QCOMPARE(recorder.deliveries.size(), std::size_t(1));
        QVERIFY2(recorder.deliveries[0].image.isNull(), file.c_str());
    }
    // Half a picture may decode partly or not at all; either way it is delivered and does not crash.
    recorder.deliveries.clear();
    loader.requestFile(0, m_temp.file("truncated.png"), {10, 10});
    loader.requestFile(1, "", {});
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(2));
}

void SnapshotLoaderTest::staleResultIsNeverDelivered()
{
    // The first picture is slow to decode and the second quick, so without the check the first
    // would arrive after the second and replace it.
    QVERIFY(noise({1200, 900}).save(qPath(m_temp.file("slow.png"))));
    QVERIFY(halves({4, 4}, Qt::cyan, Qt::cyan).save(qPath(m_temp.file("quick.png"))));

    SnapshotLoader loader;
    Recorder recorder(loader);
    for (int round = 0; round < 5; ++round) {
        recorder.deliveries.clear();
        loader.requestFile(0, m_temp.file("slow.png"), {100, 75});
        loader.requestFile(0, m_temp.file("quick.png"), {100, 75});
        loader.waitForIdle();
        QCOMPARE(recorder.deliveries.size(), std::size_t(1));
        QCOMPARE(recorder.deliveries.back().image.image().size(), QSize(4, 4));
    }

    // A run of requests, as when scrolling through a list: only the last one arrives.
    recorder.deliveries.clear();
    for (int i = 0; i < 20; ++i)
        loader.requestFile(0, m_temp.file(i % 2 ? "quick.png" : "slow.png"), {});
    loader.requestFile(0, m_temp.file("slow.png"), {});
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(1));
    QCOMPARE(recorder.deliveries.back().image.image().size(), QSize(1200, 900));
}

void SnapshotLoaderTest::slotsAreIndependent()
{
    QVERIFY(noise({1200, 900}).save(qPath(m_temp.file("slow-a.png"))));
    QVERIFY(halves({4, 4}, Qt::cyan, Qt::cyan).save(qPath(m_temp.file("quick-b.png"))));

    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestFile(0, m_temp.file("slow-a.png"), {});
    loader.requestFile(1, m_temp.file("quick-b.png"), {});
    loader.cancel(1); // cancelling B leaves A alone
    loader.requestFile(1, m_temp.file("quick-b.png"), {});
    loader.waitForIdle();

    QCOMPARE(recorder.deliveries.size(), std::size_t(2));
    for (const Delivery &delivery : recorder.deliveries)
        QCOMPARE(delivery.image.image().size(), delivery.slot == 0 ? QSize(1200, 900) : QSize(4, 4));
    QVERIFY(recorder.deliveries[0].slot != recorder.deliveries[1].slot);
}

void SnapshotLoaderTest::cancelDropsWhatIsPending()
{
    QVERIFY(halves({4, 4}, Qt::cyan, Qt::cyan).save(qPath(m_temp.file("c.png"))));
    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestFile(0, m_temp.file("c.png"), {});
    loader.requestFile(1, m_temp.file("c.png"), {});
    loader.cancel(0);
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(1));
    QCOMPARE(recorder.deliveries[0].slot, 1);

    // Slots outside the two are ignored.
    loader.requestFile(2, m_temp.file("c.png"), {});
    loader.requestFile(-1, m_temp.file("c.png"), {});
    loader.cancel(5);
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(1));
}

void SnapshotLoaderTest::destroyedWhileDecoding()
{
    QVERIFY(noise({800, 600}).save(qPath(m_temp.file("busy.png"))));
    int delivered = 0;
    {
        SnapshotLoader loader;
        QObject::connect(&loader, &SnapshotLoader::snapshotReady, [&delivered] { ++delivered; });
        for (int i = 0; i < 4; ++i) {
            loader.requestFile(0, m_temp.file("busy.png"), {80, 60});
            loader.requestSnapshot(1, m_temp.path(), "busy (U).nes", {80, 60});
        }
    }
    QCoreApplication::processEvents(); // deliveries posted to the dead loader must go nowhere
    QCOMPARE(delivered, 0);
}

void SnapshotLoaderTest::decodeStopsOnceNoLongerWanted()
{
    QVERIFY(noise({1000, 800}).save(qPath(m_temp.file("large.png"))));
    const std::string path = m_temp.file("large.png");

    int asked = 0;
    const SnapshotImage whole = SnapshotImage::load(path, {50, 40}, [&asked] {
        ++asked;
        return true;
    });
    QCOMPARE(whole.image().size(), QSize(1000, 800));
    const int readsOfAWholeDecode = asked;
    QVERIFY2(readsOfAWholeDecode > 10, "asked while reading, not only at the end");

    // Turned false after the third read: the decoder gives up instead of reading on.
    asked = 0;
    const SnapshotImage stopped = SnapshotImage::load(path, {50, 40}, [&asked] { return ++asked < 3; });
    QVERIFY(stopped.isNull());
    // The format is told from the content first, which takes a few reads of its own.
    QVERIFY2(asked <= readsOfAWholeDecode / 4,
             qPrintable(QStringLiteral("asked %1 times of %2").arg(asked).arg(readsOfAWholeDecode)));
}

void SnapshotLoaderTest::drawStretchesIntoTheTarget()
{
    const SnapshotImage picture(halves({2, 1}, Qt::red, Qt::blue));
    QImage canvas(60, 30, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        picture.draw(painter, QRect(10, 5, 40, 20));
    }
    QVERIFY2(near(canvas.pixel(11, 6), Qt::red), qPrintable(describe(canvas.pixel(11, 6))));
    QVERIFY2(near(canvas.pixel(48, 23), Qt::blue), qPrintable(describe(canvas.pixel(48, 23))));
    QCOMPARE(describe(canvas.pixel(9, 15)), describe(qRgb(255, 255, 255)));  // left of the target
    QCOMPARE(describe(canvas.pixel(50, 15)), describe(qRgb(255, 255, 255))); // right of it
    QCOMPARE(describe(canvas.pixel(30, 4)), describe(qRgb(255, 255, 255)));  // above
    QCOMPARE(describe(canvas.pixel(30, 25)), describe(qRgb(255, 255, 255))); // below

    // Drawn again at another size, it fills the new target, not the old one.
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        picture.draw(painter, QRect(0, 0, 20, 30));
    }
    QVERIFY(near(canvas.pixel(1, 28), Qt::red));
    QVERIFY(near(canvas.pixel(18, 28), Qt::blue));
    QCOMPARE(describe(canvas.pixel(25, 15)), describe(qRgb(255, 255, 255)));
}

void SnapshotLoaderTest::drawUsesTheScaledCopyOnlyAtItsSize()
{
    // A scaled copy that differs from the picture shows which one is drawn.
    const SnapshotImage picture(halves({2, 2}, Qt::red, Qt::red), halves({20, 10}, Qt::green, Qt::green));
    QImage canvas(40, 40, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        picture.draw(painter, QRect(0, 0, 20, 10));
    }
    QVERIFY(near(canvas.pixel(10, 5), Qt::green));

    // Once the cell has another size the copy no longer fits and the picture itself is scaled.
    {
        QPainter painter(&canvas);
        picture.draw(painter, QRect(0, 0, 30, 30));
    }
    QVERIFY2(near(canvas.pixel(10, 5), Qt::red), qPrintable(describe(canvas.pixel(10, 5))));
}

void SnapshotLoaderTest::nullPictureDrawsNothing()
{
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        SnapshotImage().draw(painter, QRect(0, 0, 10, 10));
        SnapshotImage(halves({2, 2}, Qt::red, Qt::red)).draw(painter, QRect(0, 0, 0, 10));
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            QCOMPARE(canvas.pixel(x, y), qRgb(255, 255, 255));
}

QTEST_MAIN(SnapshotLoaderTest)
#include "tst_snapshotloader.moc"
