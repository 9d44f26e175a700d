#pragma once

#include "core/fs/FileStamp.h"

#include <QImage>
#include <QPixmap>
#include <QRect>

#include <functional>
#include <optional>
#include <string>

// One loaded snapshot picture. A picture that could not be read is a null image and draws
// nothing. A snapshot is drawn stretched into its rectangle; a picture that keeps its proportions
// (a game's box or cover) is drawn as large as fits, centred. Either is drawn at the device's
// pixel density; the scaled pixmap is kept until the rectangle's size changes, so a repaint does
// not scale again.
//
// Large pictures are read at bounded cost. A JPEG larger than its cell is decoded reduced (by
// 1/2, 1/4 or 1/8, the most that still covers the cell), so box scans of 8000 x 8000 decode fast
// and small. Any picture is decoded only while its pixels, at four bytes each, take at most
// kMaxDecodedBytes at the size decoded (told by the file's header before anything is read);
// larger ones, decompression bombs among them, read as a picture that cannot be read. Only one
// picture above kLargeDecodeBytes decodes at a time in the program, so a peak of decoding stays
// under about twice kMaxDecodedBytes plus the small ones.
class SnapshotImage
{
public:
    static constexpr qint64 kMaxDecodedBytes = qint64(128) << 20;
    static constexpr qint64 kLargeDecodeBytes = qint64(32) << 20;
    // A decoded picture above this is not kept beside its copy for the cell: the copy serves.
    static constexpr qint64 kMaxKeptBytes = qint64(16) << 20;

    enum class Fit {
        Stretch,         // fills its rectangle, as snapshots always have
        KeepProportions, // as large as fits, centred
    };

    SnapshotImage() = default;
    // image: the decoded picture; scaled: the same already scaled for a rectangle (or as large
    // as fits in it, keeping proportions), if known.
    explicit SnapshotImage(QImage image, QImage scaled = {}, Fit fit = Fit::Stretch);

    bool isNull() const { return m_image.isNull(); }
    const QImage &image() const { return m_image; }
    const QImage &scaled() const { return m_scaled; }
    Fit fit() const { return m_fit; }

    // The copy scaled for the cell alone (the picture itself when there is none), for keeping
    // many pictures at little cost.
    SnapshotImage cellCopy() const;
    // Memory the pictures take.
    qint64 bytes() const;

    void draw(QPainter &painter, const QRect &target) const;

    // Decodes a picture file (BMP, GIF, JPEG, PNG, ...); with a valid target size (in device
    // pixels) the scaled copy is made too. Safe on any thread. The path is the file name's own
    // bytes. When wanted is given and turns false, the decode stops at its next read of the file
    // and a null picture is returned. stamp, when given, receives the stamp of the file as it was
    // opened (none when it could not be opened). failure, when given, receives why a picture
    // that opened was not decoded (too large), for the user; empty otherwise.
    // fit: how the picture is drawn, and so scaled ahead.
    static SnapshotImage load(const std::string &path, const QSize &targetSize = {},
                              const std::function<bool()> &wanted = {},
                              std::optional<marlit::FileStamp> *stamp = nullptr, std::string *failure = nullptr,
                              Fit fit = Fit::Stretch);

private:
    // The part of target the picture takes, in device pixels as scaled for it (pixels).
    QRect placeIn(const QRect &target, qreal ratio, QSize &pixels) const;

    QImage m_image;
    QImage m_scaled;
    Fit m_fit = Fit::Stretch;
    // Made on the UI thread at the first draw; empty (no QPixmap at all) while the picture is
    // decoded and handed over on other threads.
    mutable std::optional<QPixmap> m_pixmap;
};
