#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRawFont>

class QPainter;
class QRectF;
class QString;

// Draws the TV view's text, in its large type, from images of the glyphs made once each.
//
// The toolkit keeps images only of glyphs up to 64 pixels; larger ones it fills from their
// outlines anew at every paint, and on a 3840 x 2160 screen a page of games then takes tens of
// milliseconds. (Raising that bound through the environment is no way out: the type engine keeps
// its own bound of 64 and then draws nothing at all.) Text of that size or smaller is left to
// the toolkit. The images are kept per font, glyph and colour, and let go past kMaxBytes.
class TvText
{
public:
    static constexpr int kLargestCachedPixels = 64;
    static constexpr qint64 kMaxBytes = qint64(16) << 20;

    // As QPainter::drawText(rect, alignment, text) with the painter's font and pen colour, on one
    // line (the horizontal and vertical alignments are followed).
    void draw(QPainter &painter, const QRectF &rect, int alignment, const QString &text);

    qint64 bytes() const { return m_bytes; }

private:
    struct Key
    {
        QRawFont font;
        quint32 glyph;
        QRgb colour;
        bool operator==(const Key &other) const
        {
            return glyph == other.glyph && colour == other.colour && font == other.font;
        }
        friend size_t qHash(const Key &key, size_t seed = 0)
        {
            return qHashMulti(seed, key.font, key.glyph, key.colour);
        }
    };
    struct Glyph
    {
        QImage image;
        QPoint offset; // of the image's corner from the glyph's origin on the baseline
    };

    const Glyph &glyph(const QRawFont &font, quint32 index, QRgb colour);

    QHash<Key, Glyph> m_glyphs;
    qint64 m_bytes = 0;
};
