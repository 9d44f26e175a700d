#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QStyledItemDelegate>

// Draws one row of the ROM list: a striped or highlighted background, the focus frame, a 16x16
// file icon (a star for a favourite) and the name in the list's font and colour; a row's play
// line dimmed at its right, and the name of a ROM no longer on disk greyed.
class RomRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kIconSize = 16;
    static constexpr int kTextIndent = 18; // the icon and a 2-pixel gap
    static inline const QColor kOddRowColor{224, 224, 224};
    static inline const QColor kEvenRowColor{255, 255, 255};
    static constexpr int kDetailGap = 12;   // between a name and its play line
    static constexpr int kDetailMargin = 4; // after the play line

    // Where the parts of a row go, from the row's rectangle.
    struct ItemLayout
    {
        QRect row;
        QRect icon; // 16x16, at the left edge, centred vertically (rounded up)
        QRect text; // from the icon's right to the row's right, the row's full height

        static ItemLayout forRow(const QRect &row);
    };

    RomRowDelegate(const QIcon &icon, QObject *parent = nullptr);

    // The font, text colour and row height of every row.
    void setItemFont(const QFont &font, const QColor &color, int rowHeight);
    const QFont &font() const { return m_font; }
    const QColor &textColor() const { return m_textColor; }
    int rowHeight() const { return m_rowHeight; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // The tooltip of a name cut short: the whole name. A name that fits has none.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The focus frame around the rows, for a list that has the focus but no current row.
    void paintListFocusFrame(QPainter *painter, const QRect &area, const QWidget *widget) const;

    // The colour of secondary text on background.
    static QColor dimmed(const QColor &text, const QColor &background);

private:
    QIcon m_icon;
    QFont m_font;
    QColor m_textColor = Qt::black;
    int m_rowHeight = 18;
};
