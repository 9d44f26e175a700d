#include "snapshots/SnapshotImage.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <utility>

namespace {

// A file that fails its reads once its picture is no longer wanted, so that the decoder gives up
// early instead of finishing a large picture nobody will see.
class CancellableFile : public QFile
{
public:
    CancellableFile(const QString &path, const std::function<bool()> &wanted) : QFile(path), m_wanted(wanted) {}

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_wanted && !m_wanted())
            return -1;
        return QFile::readData(data, maxSize);
    }

private:
    const std::function<bool()> &m_wanted;
};

} // namespace

SnapshotImage::SnapshotImage(QImage image, QImage scaled) : m_image(std::move(image)), m_scaled(std::move(scaled))
{
}

void SnapshotImage::draw(QPainter &painter, const QRect &target) const
{
    if (isNull() || target.isEmpty())
        return;
    if (m_pixmap.size() != target.size()) {
        // The copy scaled with the picture serves while the cell keeps its size; a new size is
        // scaled here, once, and kept for the repaints that follow.
        if (m_scaled.size() == target.size())
            m_pixmap = QPixmap::fromImage(m_scaled);
        else
            m_pixmap =
                QPixmap::fromImage(m_image.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    painter.drawPixmap(target.topLeft(), m_pixmap);
}

SnapshotImage SnapshotImage::load(const QString &path, const QSize &targetSize, const std::function<bool()> &wanted)
{
    CancellableFile file(path, wanted);
    if (!file.open(QIODevice::ReadOnly))
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
