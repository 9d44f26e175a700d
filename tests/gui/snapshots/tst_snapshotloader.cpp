#include "gui/snapshots/SnapshotLoader.h"

#include "core/fs/DirectoryReader.h"

#include "ResidentMemory.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

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

// Holds a worker at one point until the test lets it go.
class Gate
{
public:
    void pass()
    {
        std::unique_lock lock(m_mutex);
        m_reached = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    // False when nothing reached it in time: a test that waits in vain fails instead of hanging.
    bool waitUntilReached(std::chrono::seconds timeout = std::chrono::seconds(60))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_reached; });
    }
    void open()
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reached = false;
    bool m_open = false;
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

// A PNG of side x side pixels of 24 bits, all black: a header and about 1.2 MB of compressed zeros
// that inflate to side x (1 + 3 side) bytes, 1.2 GB for 20000. Deflate after a full flush starts
// afresh, so the same rows give the same bytes again: they are compressed twice and repeated.
QByteArray blackPng(int side)
{
    const auto bigEndian = [](QByteArray &out, quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(static_cast<char>((value >> shift) & 0xff));
    };
    const auto chunk = [&](QByteArray &png, const char *type, const QByteArray &data) {
        bigEndian(png, static_cast<quint32>(data.size()));
        const QByteArray typed = QByteArray(type) + data;
        png += typed;
        bigEndian(png, static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()),
                                                  static_cast<uInt>(typed.size()))));
    };

    constexpr int kRowsPerPiece = 50;
    const std::vector<Bytef> zeros(static_cast<std::size_t>(1 + 3 * side) * kRowsPerPiece, 0);
    z_stream stream{};
    deflateInit(&stream, 9);
    const auto deflatePiece = [&](int flush) {
        QByteArray out;
        std::vector<Bytef> buffer(1 << 16);
        stream.next_in = const_cast<Bytef *>(zeros.data());
        stream.avail_in = static_cast<uInt>(zeros.size());
        do {
            stream.next_out = buffer.data();
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            out.append(reinterpret_cast<const char *>(buffer.data()),
                       static_cast<qsizetype>(buffer.size() - stream.avail_out));
        } while (stream.avail_out == 0);
        return out;
    };
    const int pieces = side / kRowsPerPiece;
    const QByteArray first = deflatePiece(Z_FULL_FLUSH);
    const QByteArray middle = deflatePiece(Z_FULL_FLUSH);
    const bool repeats = deflatePiece(Z_FULL_FLUSH) == middle;
    QByteArray last = deflatePiece(Z_FINISH);
    deflateEnd(&stream);
    if (!repeats || side % kRowsPerPiece != 0)
        return {};
    const uLong pieceSum = adler32(adler32(0, nullptr, 0), zeros.data(), static_cast<uInt>(zeros.size()));
    uLong sum = adler32(0, nullptr, 0);
    for (int i = 0; i < pieces; ++i)
        sum = adler32_combine(sum, pieceSum, static_cast<z_off_t>(zeros.size()));
    last.chop(4);
    bigEndian(last, static_cast<quint32>(sum));

    QByteArray header;
    bigEndian(header, static_cast<quint32>(side));
    bigEndian(header, static_cast<quint32>(side));
    header.append("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, not interlaced
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", first + middle.repeated(pieces - 2) + last);
    chunk(png, "IEND", {});
    return png;
}

// Which of the colours a picture shows, by its middle pixel; -1 for none of them.
int colourIndex(const QImage &image, const std::vector<QColor> &colours)
{
    if (image.isNull())
        return -1;
    const QRgb pixel = image.pixel(image.width() / 2, image.height() / 2);
    for (std::size_t i = 0; i < colours.size(); ++i)
        if (near(pixel, colours[i], 40))
            return static_cast<int>(i);
    return -1;
}

void setModified(const std::string &path, time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

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
    void resultOvertakenWhileUnderWayIsNeverDelivered();
    void resultWaitingForTheWindowIsDroppedByACancel();
    void decodeStoppedHalfWayIsNotKeptAndIsDoneWholeWhenAskedAgain();
    void prefetchNoLongerWantedIsDroppedBeforeItStarts();
    void resultsPendingAtDestructionAreDropped();
    void decodeStopsOnceNoLongerWanted();
    void largePicturesAreReadAtBoundedCost();
    void cacheIsBoundedAndForgetsChangedFiles();
    void pictureChangedOnDiskIsDecodedAgain();
    void movingThroughRowsShowsOnlyTheSelectedRow();
    void drawStretchesIntoTheTarget();
    void gamesOwnPictureKeepsItsProportions();
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

    // A picture found but too large to decode gives the fallback too, and says why.
    const QByteArray bomb = blackPng(20000);
    work.write("snaps/Zelda (U).png", std::string_view(bomb.constData(), static_cast<std::size_t>(bomb.size())));

    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestSnapshot(0, work.file("snaps/"), "Mario (U).nes", {});
    loader.requestSnapshot(1, work.file("snaps/"), "Zelda (U).nes", {60, 40});
    loader.waitForIdle();
    QDir::setCurrent(previous);

    QCOMPARE(recorder.deliveries.size(), std::size_t(2));
    for (const auto &delivery : recorder.deliveries) {
        QCOMPARE(delivery.image.image().size(), QSize(6, 6));
        QVERIFY(near(delivery.image.image().pixel(1, 1), Qt::yellow));
    }
    const std::string why = loader.whyNoPicture(1);
    QVERIFY2(why.find("Zelda (U).png\" for \"Zelda (U).nes\", but it is 20000 \u00d7 20000 pixels, too large to "
                      "show.\nShown instead: NoShot.png.") != std::string::npos,
             why.c_str());
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
    // Without a cell size nothing goes to the cache, so every round races again.
    for (int round = 0; round < 5; ++round) {
        recorder.deliveries.clear();
        loader.requestFile(0, m_temp.file("slow.png"), {});
        loader.requestFile(0, m_temp.file("quick.png"), {});
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

void SnapshotLoaderTest::resultOvertakenWhileUnderWayIsNeverDelivered()
{
    // The look-up of slot A's picture is held inside its folder read until the test lets it go,
    // so the cancel and the new request below certainly come while the work is under way.
    m_temp.makeFolder("held-a");
    m_temp.makeFolder("held-b");
    QVERIFY(halves({8, 8}, Qt::green, Qt::green).save(qPath(m_temp.file("held-a/Zelda.png"))));
    QVERIFY(halves({8, 8}, Qt::green, Qt::green).save(qPath(m_temp.file("held-b/Zelda.png"))));
    QVERIFY(halves({4, 4}, Qt::cyan, Qt::cyan).save(qPath(m_temp.file("quick.png"))));
    Gate gates[2];
    const std::string folders[2] = {m_temp.file("held-a/"), m_temp.file("held-b/")};
    auto finder = std::make_shared<marlit::SnapshotFinder>(
        marlit::SnapshotFinder::kNoShotFile, marlit::SnapshotFinder::Limits{},
        [&](const std::string &folder, std::vector<marlit::DirectoryEntry> &entries) {
            for (int i = 0; i < 2; ++i)
                if (folder == folders[i])
                    gates[i].pass();
            return marlit::DirectoryReader::list(folder, entries);
        });
    SnapshotLoader loader(finder);
    Recorder recorder(loader);
    const auto openOnFailure = qScopeGuard([&] {
        gates[0].open();
        gates[1].open();
    });

    loader.requestSnapshot(0, folders[0], "Zelda (U).nes", {8, 8});
    gates[0].waitUntilReached();
    loader.cancel(0);
    gates[0].open();
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(0));

    loader.requestSnapshot(1, folders[1], "Zelda (U).nes", {8, 8});
    gates[1].waitUntilReached();
    loader.requestFile(1, m_temp.file("quick.png"), {4, 4});
    gates[1].open();
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(1));
    QVERIFY(near(recorder.deliveries[0].image.image().pixel(1, 1), Qt::cyan));
}

// Decoded and posted to the window, not yet handled, when the slot is cancelled: it never arrives,
// and the slot takes the next request as before. While a request is under way, the cell has no
// reason to give for the picture before it.
void SnapshotLoaderTest::resultWaitingForTheWindowIsDroppedByACancel()
{
    QVERIFY(halves({4, 4}, Qt::cyan, Qt::cyan).save(qPath(m_temp.file("c.png"))));
    m_temp.makeFolder("held");
    const std::string held = m_temp.file("held/");
    Gate gate;
    auto finder = std::make_shared<marlit::SnapshotFinder>(
        m_temp.file("no-such-fallback.png"), marlit::SnapshotFinder::Limits{},
        [&](const std::string &folder, std::vector<marlit::DirectoryEntry> &entries) {
            if (folder == held)
                gate.pass();
            return marlit::DirectoryReader::list(folder, entries);
        });
    SnapshotLoader loader(finder);
    Recorder recorder(loader);
    const auto openOnFailure = qScopeGuard([&] { gate.open(); });

    for (int slot = 0; slot < 2; ++slot) {
        loader.requestFile(slot, m_temp.file("c.png"), {});
        loader.waitForWorkers(); // posted, not delivered
        loader.cancel(slot);
        QCoreApplication::processEvents();
        QCOMPARE(recorder.deliveries.size(), std::size_t(0));
    }
    loader.requestFile(1, m_temp.file("c.png"), {});
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(1));

    // Nothing found for the first ROM: the cell says why. The next ROM's look-up is held: until
    // it is done the cell says nothing, rather than the first ROM's reason.
    loader.requestSnapshot(0, m_temp.path(), "Nothing (U).nes", {});
    loader.waitForIdle();
    QVERIFY(!loader.whyNoPicture(0).empty());
    loader.requestSnapshot(0, held, "Zelda (U).nes", {});
    gate.waitUntilReached();
    QCOMPARE(loader.whyNoPicture(0), std::string());
    gate.open();
    loader.waitForIdle();
    QVERIFY(loader.whyNoPicture(0).find("Zelda") != std::string::npos);
}

// A decode under way that is no longer wanted, cancelled, overtaken by another picture or by one
// the cache holds, stops and leaves nothing in the cache; asked for again it is done whole.
void SnapshotLoaderTest::decodeStoppedHalfWayIsNotKeptAndIsDoneWholeWhenAskedAgain()
{
    m_temp.makeFolder("large");
    const std::string folder = m_temp.file("large/");
    QVERIFY(noise({2400, 1800}).save(qPath(folder + "Big.png")));
    QVERIFY(halves({4, 4}, Qt::cyan, Qt::cyan).save(qPath(m_temp.file("quick.png"))));
    Gate gates[3];
    int reads = 0;
    auto finder = std::make_shared<marlit::SnapshotFinder>(
        marlit::SnapshotFinder::kNoShotFile, marlit::SnapshotFinder::Limits{},
        [&](const std::string &path, std::vector<marlit::DirectoryEntry> &entries) {
            if (path == folder && reads < 3)
                gates[reads++].pass();
            return marlit::DirectoryReader::list(path, entries);
        });
    SnapshotLoader loader(finder);
    Recorder recorder(loader);
    const auto openOnFailure = qScopeGuard([&] {
        for (Gate &gate : gates)
            gate.open();
    });
    const QSize cell(240, 180);
    const std::string big = folder + "Big.png";
    // The folder's look-up is let go, and the decode that follows it is well under way when the
    // work is dropped: a decode of this picture takes far longer than the pause.
    const auto decodeUnderWay = [&](Gate &gate) {
        const bool reached = gate.waitUntilReached();
        gate.open();
        QTest::qSleep(30);
        return reached;
    };
    // Each look-up reads the folder again, as on a slow machine the finder could otherwise take
    // the names it holds once the folder's time stamp is old enough to be trusted.
    int changes = 0;
    const auto changeFolder = [&] { m_temp.write("large/change " + std::to_string(++changes)); };

    loader.requestSnapshot(0, folder, "Big (U).nes", cell);
    QVERIFY(decodeUnderWay(gates[0]));
    loader.cancel(0);
    loader.waitForWorkers();
    QVERIFY(!loader.cache().find(big, cell));

    changeFolder();
    loader.requestSnapshot(0, folder, "Big (U).nes", cell);
    QVERIFY(decodeUnderWay(gates[1]));
    loader.requestFile(0, m_temp.file("quick.png"), cell);
    loader.waitForIdle();
    QVERIFY(!loader.cache().find(big, cell));
    QCOMPARE(recorder.deliveries.size(), std::size_t(1));

    changeFolder();
    loader.requestSnapshot(0, folder, "Big (U).nes", cell);
    QVERIFY(decodeUnderWay(gates[2]));
    loader.requestFile(0, m_temp.file("quick.png"), cell); // answered from the cache at once
    QCOMPARE(recorder.deliveries.size(), std::size_t(2));
    loader.waitForWorkers();
    QVERIFY(!loader.cache().find(big, cell));

    // Asked for once more, it is decoded whole: the stopped decodes were no verdict on the file.
    loader.requestSnapshot(0, folder, "Big (U).nes", cell);
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(3));
    QVERIFY(!recorder.deliveries.back().image.isNull());
    QCOMPARE(recorder.deliveries.back().image.image().size(), cell);
}

// Pictures a prefetch asked for and the next prefetch no longer wants are dropped before they
// start: with both workers held in look-ups, the third picture asked for first is never decoded,
// the one asked for instead is.
void SnapshotLoaderTest::prefetchNoLongerWantedIsDroppedBeforeItStarts()
{
    m_temp.makeFolder("pre");
    const std::string folder = m_temp.file("pre/");
    for (const char *name : {"A", "B", "C", "D"})
        QVERIFY(halves({8, 8}, Qt::green, Qt::green).save(qPath(folder + name + ".png")));
    Gate gates[2];
    std::mutex readsMutex;
    int reads = 0;
    auto finder = std::make_shared<marlit::SnapshotFinder>(
        marlit::SnapshotFinder::kNoShotFile, marlit::SnapshotFinder::Limits{},
        [&](const std::string &path, std::vector<marlit::DirectoryEntry> &entries) {
            int read = 0;
            {
                const std::lock_guard lock(readsMutex);
                read = reads++;
            }
            if (path == folder && read < 2)
                gates[read].pass();
            return marlit::DirectoryReader::list(path, entries);
        });
    SnapshotLoader loader(finder);
    const auto openOnFailure = qScopeGuard([&] {
        gates[0].open();
        gates[1].open();
    });
    const QSize cell(8, 8);
    loader.prefetch({folder, std::string()}, {cell, QSize()}, {"A.nes", "B.nes", "C.nes"});
    gates[0].waitUntilReached();
    gates[1].waitUntilReached();
    loader.prefetch({folder, std::string()}, {cell, QSize()}, {"D.nes"});
    gates[0].open();
    gates[1].open();
    loader.waitForWorkers();
    QVERIFY(loader.cache().find(folder + "D.png", cell));
    QVERIFY(!loader.cache().find(folder + "C.png", cell));
}

void SnapshotLoaderTest::resultsPendingAtDestructionAreDropped()
{
    QVERIFY(halves({4, 4}, Qt::cyan, Qt::cyan).save(qPath(m_temp.file("c.png"))));
    QVERIFY(noise({800, 600}).save(qPath(m_temp.file("busy.png"))));
    QObject receiver; // outlives the loaders
    int delivered = 0;
    const auto counting = [&](std::unique_ptr<SnapshotLoader> &loader) {
        QObject::connect(loader.get(), &SnapshotLoader::snapshotReady, &receiver, [&delivered] { ++delivered; });
    };

    // Decoded and posted for delivery, not yet handled, when the loader goes.
    auto loader = std::make_unique<SnapshotLoader>();
    counting(loader);
    loader->requestFile(0, m_temp.file("c.png"), {});
    loader->requestFile(1, m_temp.file("c.png"), {});
    loader->waitForWorkers();
    QCOMPARE(delivered, 0);
    loader.reset();
    QCoreApplication::processEvents();
    QCOMPARE(delivered, 0);

    // Going while decodes and a prefetch are under way: it waits for them, and nothing arrives.
    loader = std::make_unique<SnapshotLoader>();
    counting(loader);
    for (int i = 0; i < 4; ++i) {
        loader->requestFile(0, m_temp.file("busy.png"), {80, 60});
        loader->requestSnapshot(1, m_temp.path(), "busy (U).nes", {80, 60});
    }
    loader->prefetch({m_temp.path(), m_temp.path()}, {QSize(80, 60), QSize(40, 30)}, {"busy.nes", "c.nes"});
    loader.reset();
    QCoreApplication::processEvents();
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

void SnapshotLoaderTest::largePicturesAreReadAtBoundedCost()
{
    using namespace marlit::test;
    const std::string scanFile = m_temp.file("box scan.jpg");
    {
        // A box scan of 8000 x 6000, too large for the decoder to take whole at its default limit.
        QImageWriter writer(qPath(scanFile), "jpeg");
        writer.setQuality(20);
        QVERIFY(writer.write(halves({8000, 6000}, Qt::red, Qt::blue)));
    }
    const QByteArray bomb = blackPng(20000);
    QVERIFY(bomb.size() > 1'000'000 && bomb.size() < 1'500'000);
    m_temp.write("bomb.png", std::string_view(bomb.constData(), static_cast<std::size_t>(bomb.size())));

    QVERIFY2(resetPeakResident(), "the peak of resident memory cannot be reset here");
    long long before = residentKilobytes();
    const SnapshotImage scan = SnapshotImage::load(scanFile, {480, 270});
    const long long scanPeak = peakResidentKilobytes() - before;
    QVERIFY(!scan.isNull());
    QCOMPARE(scan.image().size(), QSize(1000, 750)); // reduced by 8 while decoding, still above the cell
    QCOMPARE(scan.scaled().size(), QSize(480, 270));
    QVERIFY2(near(scan.scaled().pixel(100, 135), Qt::red), qPrintable(describe(scan.scaled().pixel(100, 135))));
    QVERIFY2(near(scan.scaled().pixel(380, 135), Qt::blue), qPrintable(describe(scan.scaled().pixel(380, 135))));
    // Whole, the picture takes 183 MiB.
    QVERIFY2(scanPeak < 48 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB").arg(scanPeak)));

    // The bomb claims 20000 x 20000 (1.6 GB decoded): refused from its header, and its slot gets
    // what a picture that cannot be read gives.
    SnapshotLoader loader;
    Recorder recorder(loader);
    QVERIFY(resetPeakResident());
    before = residentKilobytes();
    loader.requestFile(0, m_temp.file("bomb.png"), {480, 270});
    loader.requestFile(1, m_temp.file("bomb.png"), {});
    loader.waitForIdle();
    const long long bombPeak = peakResidentKilobytes() - before;
    QCOMPARE(recorder.deliveries.size(), std::size_t(2));
    QVERIFY(recorder.deliveries[0].image.isNull());
    QVERIFY(recorder.deliveries[1].image.isNull());
    QVERIFY2(bombPeak < 64 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB").arg(bombPeak)));
}

void SnapshotLoaderTest::cacheIsBoundedAndForgetsChangedFiles()
{
    // Pictures of 100 x 100 pixels take 40,000 bytes: room for three.
    const std::vector<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta};
    std::vector<std::string> files;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        files.push_back(m_temp.file("cached" + std::to_string(i) + ".png"));
        QVERIFY(halves({100, 100}, colours[i], colours[i]).save(qPath(files[i])));
    }
    const QSize cell(100, 100);
    SnapshotCache cache(3 * 40'000, 10);
    const auto put = [&](std::size_t i) {
        std::optional<marlit::FileStamp> stamp;
        cache.insert(files[i], cell, stamp, SnapshotImage::load(files[i], cell, {}, &stamp));
    };
    const auto shows = [&](std::size_t i) {
        const std::optional<SnapshotImage> held = cache.find(files[i], cell);
        return held && colourIndex(held->image(), colours) == static_cast<int>(i);
    };
    put(0);
    put(1);
    put(2);
    QVERIFY(shows(0)); // used again: 1 is now the least recently used
    put(3);
    QCOMPARE(cache.count(), std::size_t(3));
    QCOMPARE(cache.bytes(), qint64(3 * 40'000));
    QVERIFY(!shows(1));
    QVERIFY(shows(0) && shows(2) && shows(3));
    QVERIFY(!cache.find(files[0], QSize(50, 50))); // another cell size is another picture

    SnapshotCache tiny(10'000, 10); // a picture larger than the whole bound is not kept
    tiny.insert(files[4], cell, marlit::FileStamp::of(files[4]), SnapshotImage::load(files[4], cell));
    QCOMPARE(tiny.count(), std::size_t(0));
    SnapshotCache few(qint64(1) << 30, 2);
    for (std::size_t i = 0; i < 3; ++i)
        few.insert(files[i], cell, marlit::FileStamp::of(files[i]), SnapshotImage::load(files[i], cell));
    QCOMPARE(few.count(), std::size_t(2));

    // A file changed on disk is not shown from memory: another modification time, the same time
    // but another size, another file renamed over it, the file gone.
    put(4);
    QVERIFY(shows(4) && shows(3));
    struct stat info
    {
    };
    QCOMPARE(::stat(files[3].c_str(), &info), 0);
    setModified(files[3], info.st_mtim.tv_sec + 10);
    QVERIFY(!shows(3));
    put(3);
    QCOMPARE(::stat(files[4].c_str(), &info), 0);
    {
        QFile file(qPath(files[4]));
        QVERIFY(file.open(QIODevice::Append));
        file.write("trailing bytes");
    }
    setModified(files[4], info.st_mtim.tv_sec);
    QVERIFY(!shows(4));
    QVERIFY(shows(3));
    QCOMPARE(::stat(files[3].c_str(), &info), 0);
    QVERIFY(QFile::copy(qPath(files[3]), qPath(m_temp.file("replacement.png"))));
    setModified(m_temp.file("replacement.png"), info.st_mtim.tv_sec);
    QCOMPARE(::rename(m_temp.file("replacement.png").c_str(), files[3].c_str()), 0);
    QVERIFY(!shows(3));
    put(0);
    QVERIFY(QFile::remove(qPath(files[0])));
    QVERIFY(!shows(0));
}

void SnapshotLoaderTest::pictureChangedOnDiskIsDecodedAgain()
{
    m_temp.makeFolder("snaps");
    const std::string snaps = m_temp.file("snaps/");
    const std::string file = m_temp.file("snaps/Zelda.png");
    QVERIFY(halves({64, 48}, Qt::red, Qt::red).save(qPath(file)));
    setModified(file, time(nullptr) - 100);
    setModified(snaps, time(nullptr) - 100); // settled: the folder is trusted from memory
    const std::vector<QColor> colours = {Qt::red, Qt::blue};

    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestSnapshot(0, snaps, "Zelda (U).nes", {32, 24});
    QCOMPARE(recorder.deliveries.size(), std::size_t(0)); // not known yet: decoded on a worker
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(1));

    // Unchanged: answered from memory before the request returns.
    loader.requestSnapshot(0, snaps, "Zelda (U).nes", {32, 24});
    QCOMPARE(recorder.deliveries.size(), std::size_t(2));
    QCOMPARE(colourIndex(recorder.deliveries[1].image.image(), colours), 0);

    // Rewritten with the same size and another picture: decoded again, the new picture shown.
    QVERIFY(halves({64, 48}, Qt::blue, Qt::blue).save(qPath(file)));
    setModified(snaps, time(nullptr) - 100);
    loader.requestSnapshot(0, snaps, "Zelda (U).nes", {32, 24});
    QCOMPARE(recorder.deliveries.size(), std::size_t(2));
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(3));
    QCOMPARE(colourIndex(recorder.deliveries[2].image.image(), colours), 1);
}

void SnapshotLoaderTest::movingThroughRowsShowsOnlyTheSelectedRow()
{
    // Twelve ROMs, each with its own colour: a PNG in folder A and a JPEG in folder B.
    constexpr int kRows = 12;
    std::vector<QColor> colours;
    std::vector<std::string> roms;
    m_temp.makeFolder("rows-a");
    m_temp.makeFolder("rows-b");
    const std::array<std::string, 2> folders = {m_temp.file("rows-a/"), m_temp.file("rows-b/")};
    for (int row = 0; row < kRows; ++row) {
        colours.push_back(QColor::fromHsv(row * 30, 255, 255));
        const std::string title = "Game " + std::to_string(row);
        roms.push_back(title + " (U).nes");
        const QImage picture = halves({320, 240}, colours.back(), colours.back());
        QVERIFY(picture.save(qPath(folders[0] + title + ".png")));
        QVERIFY(picture.save(qPath(folders[1] + title + ".jpg"), nullptr, 95));
    }
    const time_t past = time(nullptr) - 100;
    setModified(folders[0], past);
    setModified(folders[1], past);
    const std::array<QSize, 2> cells = {QSize(64, 48), QSize(60, 40)};

    SnapshotLoader loader;
    int selected = -1;
    int stale = 0;
    std::array<int, 2> shown = {-1, -1};
    QObject::connect(&loader, &SnapshotLoader::snapshotReady, &loader, [&](int slot, const SnapshotImage &image) {
        shown[static_cast<std::size_t>(slot)] = colourIndex(image.image(), colours);
        if (shown[static_cast<std::size_t>(slot)] != selected)
            ++stale;
    });
    const auto select = [&](int row) {
        selected = row;
        for (int slot = 0; slot < 2; ++slot)
            loader.requestSnapshot(slot, folders[static_cast<std::size_t>(slot)], roms[static_cast<std::size_t>(row)],
                                   cells[static_cast<std::size_t>(slot)]);
        std::vector<std::string> neighbours;
        for (const int next : {row + 1, row - 1})
            if (next >= 0 && next < kRows)
                neighbours.push_back(roms[static_cast<std::size_t>(next)]);
        loader.prefetch(folders, cells, neighbours);
    };

    // Down the list faster than pictures decode: one selection per turn of the event loop.
    for (int row = 0; row < kRows; ++row) {
        select(row);
        QCoreApplication::processEvents();
    }
    loader.waitForIdle();
    QCOMPARE(stale, 0);
    QCOMPARE(shown, (std::array<int, 2>{kRows - 1, kRows - 1}));

    // Up the list at a reader's pace: each row's pictures were decoded while the row below was
    // selected, so they are there before the selection returns.
    for (int row = kRows - 2; row >= 0; --row) {
        shown = {-1, -1};
        select(row);
        QCOMPARE(shown, (std::array<int, 2>{row, row}));
        loader.waitForIdle();
    }
    QCOMPARE(stale, 0);
    QVERIFY(loader.cache().bytes() <= SnapshotCache::kDefaultMaxBytes);
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

// A game's own picture (a box, a cover) is scaled and drawn as large as fits, centred, whether
// asked for by name or shown where the snapshot folder has none; the cache keeps it apart from
// the same file stretched, and a snapshot still fills its cell.
void SnapshotLoaderTest::gamesOwnPictureKeepsItsProportions()
{
    m_temp.makeFolder("no-snaps");
    const std::string cover = m_temp.file("cover.png");
    QVERIFY(halves({40, 80}, Qt::red, Qt::blue).save(qPath(cover)));
    SnapshotLoader loader;
    Recorder recorder(loader);
    loader.requestSnapshot(0, m_temp.file("no-snaps/"), "Metroid (E).nes", {60, 40}, cover);
    loader.waitForIdle();
    loader.requestFile(1, cover, {60, 40}, SnapshotImage::Fit::KeepProportions);
    loader.waitForIdle();
    loader.requestFile(1, cover, {60, 40}); // stretched, from the cache of its own
    loader.waitForIdle();
    QCOMPARE(recorder.deliveries.size(), std::size_t(3));
    for (const std::size_t delivery : {0, 1}) {
        const SnapshotImage &picture = recorder.deliveries[delivery].image;
        QCOMPARE(picture.fit(), SnapshotImage::Fit::KeepProportions);
        QCOMPARE(picture.scaled().size(), QSize(20, 40));
        QImage canvas(60, 40, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            picture.draw(painter, QRect(0, 0, 60, 40));
        }
        QCOMPARE(describe(canvas.pixel(19, 20)), describe(qRgb(255, 255, 255))); // beside it: the cell's own
        QVERIFY2(near(canvas.pixel(21, 20), Qt::red), qPrintable(describe(canvas.pixel(21, 20))));
        QVERIFY(near(canvas.pixel(38, 20), Qt::blue));
        QCOMPARE(describe(canvas.pixel(41, 20)), describe(qRgb(255, 255, 255)));
    }
    QCOMPARE(recorder.deliveries[2].image.fit(), SnapshotImage::Fit::Stretch);
    QCOMPARE(recorder.deliveries[2].image.scaled().size(), QSize(60, 40));
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
