#include "gui/ui/RomRowDelegate.h"

#include "gui/history/HistoryIcons.h"
#include "gui/text/BoundedText.h"
#include "gui/ui/FocusMark.h"
#include "gui/ui/RomListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <QWidget>
#include <QtMath>

#include <algorithm>

RomRowDelegate::ItemLayout RomRowDelegate::ItemLayout::forRow(const QRect &row)
{
    ItemLayout layout;
    layout.row = row;
    // Integer halves truncate, so an odd row height leaves the extra pixel below the icon.
    const int iconTop = row.top() + row.height() / 2 - kIconSize / 2;
    layout.icon = QRect(row.left(), iconTop, kIconSize, kIconSize);
    layout.text = QRect(row.left() + kTextIndent, row.top(), row.width() - kTextIndent, row.height());
    return layout;
}

RomRowDelegate::RomRowDelegate(const QIcon &icon, QObject *parent) : QStyledItemDelegate(parent), m_icon(icon)
{
}

void RomRowDelegate::setItemFont(const QFont &font, const QColor &color, int rowHeight)
{
    m_font = font;
    m_textColor = color;
    m_rowHeight = rowHeight;
}

void RomRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const ItemLayout layout = ItemLayout::forRow(option.rect);
    painter->save();

    // The highlight is the same whether or not the window is active.
    const QColor background = (option.state & QStyle::State_Selected)
                                  ? option.palette.color(QPalette::Active, QPalette::Highlight)
                                  : ((index.row() % 2 != 0) ? kOddRowColor : kEvenRowColor);
    painter->fillRect(layout.row, background);

    if (option.state & QStyle::State_HasFocus)
        FocusMark::paint(painter, layout.row, background, option.palette);

    // A favourite's row shows a star where the file icon would be.
    if (index.data(RomListModel::FavouriteRole).toBool())
        HistoryIcons::paintStar(painter, layout.icon);
    else
        m_icon.paint(painter, layout.icon);

    painter->setClipRect(layout.row, Qt::IntersectClip);
    painter->setFont(m_font);
    // A row's play line goes dimmed at the right, whole: the name is shortened first, down to
    // its first letter and "…"; only a row too narrow for even that cuts the play line.
    const QFontMetrics metrics(m_font);
    QRect nameRect = layout.text;
    const QString detail = index.data(RomListModel::DetailRole).toString();
    if (!detail.isEmpty()) {
        const QRect room = layout.text.adjusted(0, 0, -kDetailMargin, 0);
        const int nameLeast = metrics.horizontalAdvance(QStringLiteral("M\u2026")) + kDetailGap;
        // Its width in whole pixels rounded up: rounded down, a text whose glyphs come from
        // another font ("★") would be a fraction too wide for itself and be cut short.
        const int natural = qCeil(QFontMetricsF(m_font).horizontalAdvance(detail));
        const int width = std::min(natural, std::max(0, room.width() - nameLeast));
        const QRect detailRect(room.right() - width + 1, room.top(), width, room.height());
        painter->setPen(dimmed(m_textColor, background));
        painter->drawText(detailRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                          metrics.elidedText(detail, Qt::ElideRight, width));
        nameRect.setRight(detailRect.left() - kDetailGap);
    }
    // A ROM that is no longer on disk stays listed, greyed. A name longer than its room ends
    // with "…"; its tooltip shows it whole.
    const bool missing = index.data(RomListModel::MissingRole).toBool();
    painter->setPen(missing ? dimmed(m_textColor, background) : m_textColor);
    // The title, then its naming tags dimmed: "Super Mario Bros.  (USA) (Rev 1)".
    const QString title = index.data(RomListModel::TitleRole).toString();
    const QString tags = index.data(RomListModel::TagsRole).toString();
    const QString shownTitle = metrics.elidedText(title, Qt::ElideRight, nameRect.width());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownTitle);
    const int tagsLeft = metrics.horizontalAdvance(shownTitle) + metrics.horizontalAdvance(QLatin1Char(' ')) * 2;
    if (!tags.isEmpty() && shownTitle == title && tagsLeft < nameRect.width()) {
        const QRect tagsRect = nameRect.adjusted(tagsLeft, 0, 0, 0);
        painter->setPen(dimmed(missing ? dimmed(m_textColor, background) : m_textColor, background));
        painter->drawText(tagsRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          metrics.elidedText(tags, Qt::ElideRight, tagsRect.width()));
    }

    painter->restore();
}

bool RomRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                               const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // The file name, which the row shows only as a title, and what the history says of its plays.
    QStringList lines;
    // A game list's title cut short in the row is said whole.
    const QString file = index.data(RomListModel::FileNameRole).toString();
    if (const QString title = index.data(Qt::DisplayRole).toString();
        title != file && QFontMetrics(m_font).horizontalAdvance(title) > ItemLayout::forRow(option.rect).text.width())
        lines << title;
    lines << file;
    const QString plays = index.data(RomListModel::PlayLineRole).toString();
    if (!plays.isEmpty())
        lines << plays;
    QToolTip::showText(event->globalPos(), plainToolTip(lines), view->viewport(), option.rect);
    return true;
}

QSize RomRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // No width of its own: a row spans the view, and a long name is cut short, not scrolled to.
    return QSize(0, m_rowHeight);
}

void RomRowDelegate::paintListFocusFrame(QPainter *painter, const QRect &area, const QWidget *widget) const
{
    // An outline in the highlight colour: the style's focus frame is made for a row, and some
    // styles fill it, which over a whole list would tint every row.
    painter->save();
    const QColor highlight = (widget ? widget->palette() : QApplication::palette()).color(QPalette::Highlight);
    painter->setPen(QPen(highlight, 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(area.adjusted(1, 1, -1, -1));
    painter->restore();
}

QColor RomRowDelegate::dimmed(const QColor &text, const QColor &background)
{
    // Halfway to the background: readable, plainly secondary, whatever colour the user chose.
    return QColor((text.red() + background.red()) / 2, (text.green() + background.green()) / 2,
                  (text.blue() + background.blue()) / 2);
}
