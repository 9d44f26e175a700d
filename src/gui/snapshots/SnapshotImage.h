#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>

#include <functional>
#include <optional>
#include <string>

// One loaded snapshot picture. A picture that could not be read is a null image and draws
// nothing. The picture is drawn stretched into its rectangle, at the device's pixel density; the
// scaled pixmap is kept until the rectangle's size changes, so a repaint does not scale again.
class SnapshotImage
{
public:
    SnapshotImage() = default;
    // image: the decoded picture; scaled: the same already scaled for a rectangle, if known.
    explicit SnapshotImage(QImage image, QImage scaled = {});

    bool isNull() const { return m_image.isNull(); }
    const QImage &image() const { return m_image; }

    void draw(QPainter &painter, const QRect &target) const;

    // Decodes a picture file (BMP, GIF, JPEG, PNG, ...); with a valid target size (in device
    // pixels) the scaled copy is made too. Safe on any thread. The path is the file name's own
    // bytes. When wanted is given and turns false, the decode stops at its next read of the file
    // and a null picture is returned.
    static SnapshotImage load(const std::string &path, const QSize &targetSize = {},
                              const std::function<bool()> &wanted = {});

private:
    QImage m_image;
    QImage m_scaled;
    // Made on the UI thread at the first draw; empty (no QPixmap at all) while the picture is
    // decoded and handed over on other threads.
    mutable std::optional<QPixmap> m_pixmap;
};
