#include "gui/snapshots/IconImage.h"

#include "gui/snapshots/PictureFile.h"

#include <QImageReader>

QImage IconImage::read(const std::string &path, int size, qreal devicePixelRatio)
{
    const int pixels = qRound(size * devicePixelRatio);
    const QSize wanted(pixels, pixels);
    PictureFile file;
    if (!file.openPicture(path))
        return {};
    QImage image;
    {
        // An icon file holds several sizes: the one asked for, else the largest.
        QImageReader reader(&file);
        if (reader.imageCount() > 1) {
            int largest = -1;
            int largestWidth = 0;
            for (int i = 0; i < reader.imageCount() && image.isNull(); ++i) {
                if (!reader.jumpToImage(i))
                    continue;
                const QSize found = reader.size();
                if (found == wanted)
                    image = reader.read();
                else if (found.width() > largestWidth) {
                    largest = i;
                    largestWidth = found.width();
                }
            }
            if (image.isNull() && largest >= 0 && reader.jumpToImage(largest))
                image = reader.read();
        }
    }
    if (image.isNull() && file.seek(0)) {
        QImageReader reader(&file);
        image = reader.read();
    }
    if (image.isNull())
        return image;
    if (image.size() != wanted)
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}
