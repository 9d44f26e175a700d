#include "gui/tv/TvText.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <cmath>

void TvText::draw(QPainter &painter, const QRectF &rect, int alignment, const QString &text)
{
    const QFont font = painter.font();
    const bool plain = painter.worldTransform().type() <= QTransform::TxTranslate;
    if (font.pixelSize() <= kLargestCachedPixels || !plain || text.isEmpty()) {
        painter.drawText(rect, alignment | Qt::TextSingleLine, text);
        return;
    }
    QTextLayout layout(text, font, painter.device());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return;
    }
    line.setLeadingIncluded(false);
    layout.endLayout();

    // Placed as the toolkit places one line of text in a rectangle.
    const qreal width = line.naturalTextWidth();
    const qreal height = line.height();
    qreal x = rect.left();
    if (alignment & Qt::AlignHCenter)
        x += (rect.width() - width) / 2;
    else if (alignment & Qt::AlignRight)
        x += rect.width() - width;
    qreal y = rect.top();
    if (alignment & Qt::AlignVCenter)
        y += (rect.height() - height) / 2;
    else if (alignment & Qt::AlignBottom)
        y += rect.height() - height;

    const QRgb colour = painter.pen().color().rgba();
    const QPointF origin(x, y);
    for (const QGlyphRun &run : layout.glyphRuns()) {
        const QRawFont rawFont = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            const Glyph &shape = glyph(rawFont, indexes[i], colour);
            if (shape.image.isNull())
                continue;
            const QPointF at = origin + positions[i];
            painter.drawImage(QPoint(static_cast<int>(std::lround(at.x())) + shape.offset.x(),
                                     static_cast<int>(std::lround(at.y())) + shape.offset.y()),
                              shape.image);
        }
    }
}

const TvText::Glyph &TvText::glyph(const QRawFont &font, quint32 index, QRgb colour)
{
    const Key key{font, index, colour};
    const auto found = m_glyphs.constFind(key);
    if (found != m_glyphs.constEnd())
        return *found;
    if (m_bytes > kMaxBytes) {
        m_glyphs.clear();
        m_bytes = 0;
    }
    Glyph made;
    const QPainterPath path = font.pathForGlyph(index);
    const QRect bounds = path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
    if (!path.isEmpty() && !bounds.isEmpty()) {
        made.image = QImage(bounds.size(), QImage::Format_ARGB32_Premultiplied);
        made.image.fill(Qt::transparent);
        QPainter painter(&made.image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-bounds.topLeft());
        painter.fillPath(path, QColor::fromRgba(colour));
        made.offset = bounds.topLeft();
        m_bytes += made.image.sizeInBytes();
    }
    return *m_glyphs.insert(key, std::move(made));
}
