#include "gui/snapshots/SnapshotImage.h"

#include "gui/snapshots/PictureFile.h"

#include <QImageReader>
#include <QPainter>

#include <utility>

SnapshotImage::SnapshotImage(QImage image, QImage scaled) : m_image(std::move(image)), m_scaled(std::move(scaled))
{
}

void SnapshotImage::draw(QPainter &painter, const QRect &target) const
{
    if (isNull() || target.isEmpty())
        return;
    // Scaled to the device's pixels, so that a dense screen shows the picture's own detail.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QSize pixels = (QSizeF(target.size()) * ratio).toSize();
    if (!m_pixmap || m_pixmap->size() != pixels) {
        // The copy scaled with the picture serves while the cell keeps its size; a new size is
        // scaled here, once, and kept for the repaints that follow.
        if (m_scaled.size() == pixels)
            m_pixmap = QPixmap::fromImage(m_scaled);
        else
            m_pixmap = QPixmap::fromImage(m_image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    m_pixmap->setDevicePixelRatio(ratio);
    painter.drawPixmap(target.topLeft(), *m_pixmap);
}

SnapshotImage SnapshotImage::load(const std::string &path, const QSize &targetSize, const std::function<bool()> &wanted)
{
    PictureFile file(wanted);
    if (!file.openPicture(path))
        return {};
    QImageReader reader(&file);
    // A snapshot is a screen grab: shown as stored, whatever orientation a camera tag claims.
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull() || (wanted && !wanted()))
        return {};
    // The formats the raster painter draws without converting, so the UI thread does not convert.
    const QImage::Format drawable =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != drawable)
        image.convertTo(drawable);
    QImage scaled;
    if (targetSize.isValid() && !targetSize.isEmpty())
        scaled = image.scaled(targetSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return SnapshotImage(std::move(image), std::move(scaled));
}
