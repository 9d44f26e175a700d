#pragma once

#include "core/ui/TvLayout.h"

#include <QStyledItemDelegate>

class TvText;

// Draws the TV view's items in large type: the cards of the systems row (the category small
// above the name), the chips of the views row, and the rows of the game list (a star before a
// favourite, a file that is gone greyed). The current item of the list that has the focus
// carries the one strong focus mark, a thick bright frame; the current item of another list is
// only lit.
class TvItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum class Kind { SystemCard, ViewChip, GameRow };

    static inline const QColor kBackground{14, 17, 22};
    static inline const QColor kFocusColor{255, 191, 0};

    // text draws the large type; it outlives the delegate.
    TvItemDelegate(Kind kind, TvText &text, QObject *parent = nullptr);
    void setGeometry(const marlit::TvGeometry &geometry) { m_geometry = geometry; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // A font of the given pixel size.
    static QFont font(int pixels, bool bold = false);
    // The focus mark: a frame of width inside box, with rounded corners.
    static void paintFocusFrame(QPainter *painter, const QRectF &box, qreal width, qreal radius);

private:
    Kind m_kind;
    TvText &m_text;
    marlit::TvGeometry m_geometry;
};
