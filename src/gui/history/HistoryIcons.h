#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>

class QPainter;

// The play history's marks, drawn rather than taken from an icon theme: the gold star of a
// favourite, and a clock for the latest plays.
class HistoryIcons
{
public:
    static inline const QColor kStarColor{242, 185, 12};
    static inline const QColor kStarOutline{154, 111, 0};

    // A five-pointed star filling rect.
    static void paintStar(QPainter *painter, const QRectF &rect);
    // The tree's "Favourites" and "Recently Played", at 16 x 16 and twice that.
    static QIcon favourites();
    static QIcon recentlyPlayed();
};
