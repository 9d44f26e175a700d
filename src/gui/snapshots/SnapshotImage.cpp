#include "gui/snapshots/SnapshotImage.h"

#include "gui/snapshots/PictureFile.h"

#include <QImageReader>
#include <QPainter>

#include <mutex>
#include <utility>

namespace {

// Held by the one decode above SnapshotImage::kLargeDecodeBytes under way.
std::mutex largeDecode;

qint64 bytesAtFourPerPixel(const QSize &size)
{
    return qint64(size.width()) * qint64(size.height()) * 4;
}

// The size a JPEG decodes at when reduced in the DCT: the smallest of 1/8, 1/4 and 1/2 that still
// covers the target, else the picture's own size. libjpeg rounds the reduced sides up.
QSize jpegDecodeSize(const QSize &size, const QSize &target)
{
    for (const int reduction : {8, 4, 2}) {
        const QSize reduced((size.width() + reduction - 1) / reduction, (size.height() + reduction - 1) / reduction);
        if (reduced.width() >= target.width() && reduced.height() >= target.height())
            return reduced;
    }
    return size;
}

// The formats the raster painter draws without converting, so the UI thread does not convert.
void makeDrawable(QImage &image)
{
    const QImage::Format drawable =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (!image.isNull() && image.format() != drawable)
        image.convertTo(drawable);
}

} // namespace

SnapshotImage::SnapshotImage(QImage image, QImage scaled, Fit fit)
    : m_image(std::move(image)), m_scaled(std::move(scaled)), m_fit(fit)
{
}

SnapshotImage SnapshotImage::cellCopy() const
{
    // A copy that keeps proportions has the picture's own: it serves as the picture too.
    return m_scaled.isNull() ? *this : SnapshotImage(m_scaled, m_scaled, m_fit);
}

qint64 SnapshotImage::bytes() const
{
    const bool shared = m_image.cacheKey() == m_scaled.cacheKey();
    return m_image.sizeInBytes() + (shared ? 0 : m_scaled.sizeInBytes());
}

QRect SnapshotImage::placeIn(const QRect &target, qreal ratio, QSize &pixels) const
{
    pixels = (QSizeF(target.size()) * ratio).toSize();
    if (m_fit == Fit::Stretch)
        return target;
    // As the loader scales it: the picture's proportions (those of its copy for the cell too).
    pixels = m_image.size().scaled(pixels, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    QRect placed(QPoint(), (QSizeF(pixels) / ratio).toSize());
    placed.moveCenter(target.center());
    return placed;
}

void SnapshotImage::draw(QPainter &painter, const QRect &target) const
{
    if (isNull() || target.isEmpty())
        return;
    // Scaled to the device's pixels, so that a dense screen shows the picture's own detail.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    QSize pixels;
    const QRect placed = placeIn(target, ratio, pixels);
    if (!m_pixmap || m_pixmap->size() != pixels) {
        // The copy scaled with the picture serves while the cell keeps its size; a new size is
        // scaled here, once, and kept for the repaints that follow.
        if (m_scaled.size() == pixels)
            m_pixmap = QPixmap::fromImage(m_scaled);
        else
            m_pixmap = QPixmap::fromImage(m_image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    m_pixmap->setDevicePixelRatio(ratio);
    painter.drawPixmap(placed.topLeft(), *m_pixmap);
}

SnapshotImage SnapshotImage::load(const std::string &path, const QSize &targetSize, const std::function<bool()> &wanted,
                                  std::optional<marlit::FileStamp> *stamp, std::string *failure, Fit fit)
{
    if (stamp)
        stamp->reset();
    PictureFile file(wanted);
    if (!file.openPicture(path))
        return {};
    if (stamp)
        *stamp = file.stamp();
    QImageReader reader(&file);
    // A snapshot is a screen grab: shown as stored, whatever orientation a camera tag claims.
    reader.setAutoTransform(false);
    const bool forCell = targetSize.isValid() && !targetSize.isEmpty();

    // The header tells the size before any pixel is decoded; a format that does not tell is left
    // to the reader's own allocation limit, which is no larger.
    QSize decodeSize = reader.size();
    if (decodeSize.isValid()) {
        if (forCell && reader.format() == "jpeg" &&
            (decodeSize.width() > targetSize.width() || decodeSize.height() > targetSize.height())) {
            decodeSize = jpegDecodeSize(decodeSize, targetSize);
            reader.setScaledSize(decodeSize);
        }
        if (bytesAtFourPerPixel(decodeSize) > kMaxDecodedBytes) {
            if (failure)
                *failure = "it is " + std::to_string(reader.size().width()) + " \u00d7 " +
                           std::to_string(reader.size().height()) + " pixels, too large to show";
            return {};
        }
    }
    std::unique_lock gate(largeDecode, std::defer_lock);
    if (!decodeSize.isValid() || bytesAtFourPerPixel(decodeSize) > kLargeDecodeBytes)
        gate.lock();

    QImage image = reader.read();
    if (image.isNull() || (wanted && !wanted()))
        return {};
    QImage scaled;
    if (forCell) {
        const QSize cellPixels = fit == Fit::Stretch
                                     ? targetSize
                                     : image.size().scaled(targetSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        scaled = image.scaled(cellPixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        makeDrawable(scaled);
        // A large picture is let go once scaled: the copy for the cell is all a slot keeps.
        if (image.sizeInBytes() > kMaxKeptBytes)
            return SnapshotImage(scaled, scaled, fit);
    }
    makeDrawable(image);
    return SnapshotImage(std::move(image), std::move(scaled), fit);
}
