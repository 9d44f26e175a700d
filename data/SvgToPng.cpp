// Renders an SVG drawing into PNG files of given sizes, for the icon theme:
//
//   svg-to-png DRAWING.svg SIZE OUT.png [SIZE OUT.png ...]
//
// A SIZE is a number of pixels for a square picture, or WIDTHxHEIGHT.
// Each size is drawn from the vector drawing itself, never scaled from another picture, so that
// every size is as sharp as the renderer makes it.
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>

namespace {

// "48" is 48 x 48, "152x55" is 152 x 55; anything else, or a side outside 1 to 4096, is empty.
QSize parseSize(const QString &text)
{
    const QStringList sides = text.split(QLatin1Char('x'));
    if (sides.size() > 2)
        return {};
    int lengths[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        bool isNumber = false;
        lengths[i] = sides.value(i, sides.first()).toInt(&isNumber);
        if (!isNumber || lengths[i] < 1 || lengths[i] > 4096)
            return {};
    }
    return QSize(lengths[0], lengths[1]);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: %s DRAWING.svg SIZE OUT.png [SIZE OUT.png ...]\n", argv[0]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot read the drawing %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 2; i < argc; i += 2) {
        const QSize size = parseSize(QString::fromLocal8Bit(argv[i]));
        if (size.isEmpty()) {
            std::fprintf(stderr, "%s: %s is not a size in pixels\n", argv[0], argv[i]);
            return 2;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            renderer.render(&painter, QRectF(QPointF(0, 0), size));
        }
        if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
