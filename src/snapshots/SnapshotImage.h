#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>

#include <functional>

// One loaded snapshot picture. A picture that could not be read is a null image and draws
// nothing. The picture is drawn stretched into its rectangle; the scaled pixmap is kept until
// the rectangle's size changes, so a repaint does not scale again.
class SnapshotImage
{
public:
    SnapshotImage() = default;
    // image: the decoded picture; scaled: the same already scaled for a rectangle, if known.
    explicit SnapshotImage(QImage image, QImage scaled = {});

    bool isNull() const { return m_image.isNull(); }
    const QImage &image() const { return m_image; }

    void draw(QPainter &painter, const QRect &target) const;

    // Decodes a picture file (BMP, GIF, JPEG, PNG, ...); with a valid target size the scaled
    // copy is made too. Safe on any thread. When wanted is given and turns false, the decode stops
    // at its next read of the file and a null picture is returned.
    static SnapshotImage load(const QString &path, const QSize &targetSize = {},
                              const std::function<bool()> &wanted = {});

private:
    QImage m_image;
    QImage m_scaled;
    mutable QPixmap m_pixmap; // made on the UI thread, at the first draw
};
