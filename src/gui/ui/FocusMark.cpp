#include "gui/ui/FocusMark.h"

#include <QPainter>
#include <QPen>

void FocusMark::paint(QPainter *painter, const QRect &rect, const QColor &background, const QPalette &palette)
{
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    painter->save();
    painter->setPen(
        QPen(background == highlight ? palette.color(QPalette::Active, QPalette::WindowText) : highlight, 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    painter->restore();
}
