#include "gui/history/HistoryIcons.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

QIcon drawnIcon(const std::function<void(QPainter &, const QRectF &)> &draw)
{
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

void HistoryIcons::paintStar(QPainter *painter, const QRectF &rect)
{
    // Five points on a circle filling the rectangle, the inner corners at two fifths of its radius.
    const QPointF centre = rect.center();
    const double outer = std::min(rect.width(), rect.height()) / 2.0;
    QPolygonF star;
    for (int corner = 0; corner < 10; ++corner) {
        const double radius = corner % 2 == 0 ? outer : outer * 0.4;
        const double angle = -std::numbers::pi / 2 + corner * std::numbers::pi / 5;
        star << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(kStarOutline, 1.0));
    painter->setBrush(kStarColor);
    painter->drawPolygon(star);
    painter->restore();
}

QIcon HistoryIcons::favourites()
{
    return drawnIcon([](QPainter &painter, const QRectF &rect) { paintStar(&painter, rect); });
}

QIcon HistoryIcons::recentlyPlayed()
{
    return drawnIcon([](QPainter &painter, const QRectF &rect) {
        // A clock face at ten past the hour.
        const double unit = rect.width() / 16.0;
        const QRectF face = rect.adjusted(unit, unit, -unit, -unit);
        painter.setPen(QPen(QColor(40, 80, 140), 1.5 * unit));
        painter.setBrush(QColor(235, 242, 252));
        painter.drawEllipse(face);
        const QPointF centre = face.center();
        painter.setPen(QPen(QColor(40, 40, 40), 1.5 * unit, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre, centre + QPointF(0, -4.5 * unit));
        painter.drawLine(centre, centre + QPointF(3.5 * unit, 1.5 * unit));
    });
}
