#include "gui/tv/TvItemDelegate.h"

#include "gui/history/HistoryIcons.h"
#include "gui/tv/TvSystemModel.h"
#include "gui/tv/TvText.h"
#include "gui/ui/RomListModel.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace {

const QColor kCardColor{31, 38, 48};
const QColor kLitColor{52, 66, 84};
const QColor kTextColor{244, 246, 248};
const QColor kDimColor{154, 167, 181};
const QColor kGoneColor{110, 118, 128};

} // namespace

TvItemDelegate::TvItemDelegate(Kind kind, TvText &text, QObject *parent)
    : QStyledItemDelegate(parent), m_kind(kind), m_text(text)
{
}

QFont TvItemDelegate::font(int pixels, bool bold)
{
    QFont font;
    font.setPixelSize(std::max(1, pixels));
    font.setBold(bold);
    return font;
}

void TvItemDelegate::paintFocusFrame(QPainter *painter, const QRectF &box, qreal width, qreal radius)
{
    painter->save();
    painter->setPen(QPen(kFocusColor, width));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(box.adjusted(width / 2, width / 2, -width / 2, -width / 2), radius, radius);
    painter->restore();
}

QSize TvItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const auto u = [this](int n) { return marlit::TvLayout::scaled(m_geometry, n); };
    switch (m_kind) {
    case Kind::SystemCard:
        return {m_geometry.systemCardWidth, m_geometry.systems.height};
    case Kind::ViewChip: {
        const QFontMetrics metrics(font(m_geometry.titlePixels, true));
        return {metrics.horizontalAdvance(index.data().toString()) + u(56), m_geometry.views.height};
    }
    case Kind::GameRow:
        break;
    }
    return {u(100), m_geometry.gameRowHeight};
}

void TvItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto u = [this](int n) { return marlit::TvLayout::scaled(m_geometry, n); };
    const bool current = option.state & QStyle::State_Selected;
    const bool focused = current && (option.state & QStyle::State_HasFocus);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // The card or row, with room between neighbours for the frame of the focus mark.
    const int gap = m_kind == Kind::GameRow ? u(3) : u(8);
    const QRectF box = QRectF(option.rect).adjusted(gap, gap, -gap, -gap);
    const qreal radius = u(10);
    if (current || m_kind != Kind::GameRow) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(current ? kLitColor : kCardColor);
        painter->drawRoundedRect(box, radius, radius);
    }
    if (focused)
        paintFocusFrame(painter, box, m_geometry.focusFrame, radius);

    const QRect inner = box.toRect().adjusted(u(18), 0, -u(18), 0);
    const QString text = index.data().toString();
    switch (m_kind) {
    case Kind::SystemCard: {
        const QFont small = font(m_geometry.smallPixels);
        const QFont title = font(m_geometry.titlePixels, true);
        const int smallHeight = QFontMetrics(small).height();
        const int titleHeight = QFontMetrics(title).height();
        const int top = inner.top() + (inner.height() - smallHeight - titleHeight) / 2;
        painter->setFont(small);
        painter->setPen(kDimColor);
        m_text.draw(*painter, QRect(inner.left(), top, inner.width(), smallHeight), Qt::AlignHCenter | Qt::AlignVCenter,
                    index.data(TvSystemModel::CategoryTextRole).toString());
        painter->setFont(title);
        painter->setPen(kTextColor);
        m_text.draw(*painter, QRect(inner.left(), top + smallHeight, inner.width(), titleHeight), Qt::AlignCenter,
                    QFontMetrics(title).elidedText(text, Qt::ElideRight, inner.width()));
        break;
    }
    case Kind::ViewChip:
        painter->setFont(font(m_geometry.titlePixels, true));
        painter->setPen(kTextColor);
        m_text.draw(*painter, inner, Qt::AlignCenter, text);
        break;
    case Kind::GameRow: {
        const bool gone = index.data(RomListModel::MissingRole).toBool();
        const int star = m_geometry.gamePixels;
        if (index.data(RomListModel::FavouriteRole).toBool())
            HistoryIcons::paintStar(painter, QRectF(inner.left(), inner.center().y() - star / 2.0, star, star));
        QRect textRect = inner.adjusted(star + u(14), 0, 0, 0);
        const QString detail = index.data(RomListModel::DetailRole).toString();
        if (!detail.isEmpty()) {
            const QFont small = font(m_geometry.smallPixels);
            // Rounded up: a text with a glyph of another font ("★") would be cut short by itself.
            const int width = std::min(qCeil(QFontMetricsF(small).horizontalAdvance(detail)), textRect.width() / 3);
            painter->setFont(small);
            painter->setPen(kDimColor);
            m_text.draw(*painter, QRect(textRect.right() - width, textRect.top(), width, textRect.height()),
                        Qt::AlignRight | Qt::AlignVCenter,
                        QFontMetrics(small).elidedText(detail, Qt::ElideRight, width));
            textRect.setRight(textRect.right() - width - u(16));
        }
        // The game's title, then its naming tags dimmed, as the window's list shows them.
        const QFont name = font(m_geometry.gamePixels, current);
        const QFontMetrics metrics(name);
        QString title = index.data(RomListModel::TitleRole).toString();
        if (title.isEmpty())
            title = text;
        const QString shownTitle = metrics.elidedText(title, Qt::ElideRight, textRect.width());
        painter->setFont(name);
        painter->setPen(gone ? kGoneColor : kTextColor);
        m_text.draw(*painter, textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shownTitle);
        const QString tags = index.data(RomListModel::TagsRole).toString();
        const int tagsLeft = metrics.horizontalAdvance(shownTitle) + metrics.horizontalAdvance(QLatin1Char(' ')) * 2;
        if (!tags.isEmpty() && shownTitle == title && tagsLeft < textRect.width()) {
            const QRect tagsRect = textRect.adjusted(tagsLeft, 0, 0, 0);
            painter->setPen(gone ? kGoneColor : kDimColor);
            m_text.draw(*painter, tagsRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        metrics.elidedText(tags, Qt::ElideRight, tagsRect.width()));
        }
        break;
    }
    }
    painter->restore();
}
