#include "gui/ui/SystemCardDelegate.h"

#include "gui/snapshots/IconImage.h"

#include "core/catalogue/SystemEntry.h"
#include "gui/text/BoundedText.h"
#include "gui/ui/FocusMark.h"
#include "gui/ui/SystemListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QByteArray>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>

#include <array>

namespace {

constexpr int kBandIndent = 36; // the icon column
constexpr int kDescriptionHeight = 16;
constexpr int kLift = 2; // how far a selected card moves up and to the right

const std::array<QColor, 8> kBandColors = {
    QColor(255, 0, 0),   QColor(255, 128, 0), QColor(192, 192, 0), QColor(0, 192, 0),
    QColor(0, 192, 192), QColor(0, 128, 255), QColor(0, 0, 255),   QColor(128, 0, 255),
};

// A rectangle given by its edges, right and bottom exclusive.
QRect edges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

QFont arialPixels(int pointSize, int logicalDpiY)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(qMax(1, qRound(pointSize * logicalDpiY / 72.0)));
    return font;
}

// A 1-pixel outline along the inside of rect.
void frameRect(QPainter *painter, const QRect &rect, const QColor &color)
{
    painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), color);
    painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), color);
    painter->fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), color);
    painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), color);
}

} // namespace

SystemCardDelegate::CardLayout SystemCardDelegate::CardLayout::forItem(const QRect &item, bool selected)
{
    const int left = item.left();
    const int top = item.top();
    const int right = item.left() + item.width();
    const int bottom = item.top() + item.height();

    CardLayout layout;
    layout.item = item;

    // The working rectangle: the item, or the item lifted for a selected card.
    int wLeft = left, wTop = top, wRight = right, wBottom = bottom;
    if (selected) {
        wLeft += kLift;
        wTop -= kLift;
        wRight += kLift;
        wBottom -= kLift;
    }
    layout.icon = QRect(wLeft + 2, wTop + 3, kIconSize, kIconSize);

    wLeft += kBandIndent;
    wBottom -= kDescriptionHeight;
    // The band of a lifted card still starts at the item's top: it gets shorter, not higher.
    layout.band = edges(wLeft, selected ? wTop + kLift : wTop, wRight, wBottom);
    layout.name = edges(wLeft, wTop, wRight, wBottom);
    layout.description = edges(wLeft, wBottom, wRight, wBottom + kDescriptionHeight);
    // Inside the card's outline, around the description line.
    layout.focus = edges(wLeft, wBottom, right - 3, bottom - (selected ? kLift : 0) - 2);

    layout.framed = selected;
    if (selected) {
        layout.outerFrame = edges(left, top + 1, right - 1, bottom);
        layout.innerFrame = edges(left + 1, top, right, bottom - 1);
    }
    return layout;
}

QColor SystemCardDelegate::bandColor(int row)
{
    return kBandColors[static_cast<std::size_t>(row & 7)];
}

SystemCardDelegate::SystemCardDelegate(int logicalDpiY, QObject *parent)
    : QStyledItemDelegate(parent), m_nameFont(arialPixels(16, logicalDpiY)),
      m_descriptionFont(arialPixels(12, logicalDpiY))
{
}

void SystemCardDelegate::clearIconCache()
{
    m_icons.clear();
}

void SystemCardDelegate::setWorkFolder(const std::string &folder)
{
    m_defaultIcon = folder + "default.ico";
    m_icons.clear();
}

const QImage &SystemCardDelegate::iconFor(const std::string &path, qreal devicePixelRatio) const
{
    if (devicePixelRatio != m_iconPixelRatio) {
        // The window went to a screen of another density: the icons are read again for it.
        m_icons.clear();
        m_iconPixelRatio = devicePixelRatio;
    }
    auto found = m_icons.find(path);
    if (found == m_icons.end()) {
        // A file that cannot be read is remembered too, so it is not tried at every repaint.
        found = m_icons.emplace(path, IconImage::read(path, kIconSize, devicePixelRatio)).first;
    }
    return found->second;
}

void SystemCardDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const CardLayout layout = CardLayout::forItem(option.rect, selected);

    painter->save();
    // A lifted card must not spill into its neighbours, which are drawn on their own.
    painter->setClipRect(option.rect, Qt::IntersectClip);
    painter->fillRect(option.rect, Qt::white);

    const auto *entry = index.data(SystemListModel::EntryRole).value<const marlit::SystemEntry *>();
    if (entry) {
        // An icon file that is missing or unreadable shows the default icon, as no icon file does.
        const qreal pixelRatio = painter->device()->devicePixelRatio();
        const QImage *icon = &iconFor(entry->iconPath.empty() ? m_defaultIcon : entry->iconPath, pixelRatio);
        if (icon->isNull())
            icon = &iconFor(m_defaultIcon, pixelRatio);
        if (!icon->isNull())
            painter->drawImage(layout.icon.topLeft(), *icon);
    }

    painter->fillRect(layout.band, bandColor(index.row()));

    if (entry) {
        painter->setFont(m_nameFont);
        painter->setPen(Qt::white);
        painter->setBackgroundMode(Qt::TransparentMode);
        const CardTexts texts = cardTexts(*entry, layout);
        painter->drawText(layout.name, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, texts.name);

        painter->setFont(m_descriptionFont);
        painter->setPen(Qt::black);
        painter->setBackgroundMode(Qt::OpaqueMode);
        painter->setBackground(Qt::white);
        painter->drawText(layout.description, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, texts.description);
    }

    if (layout.framed) {
        frameRect(painter, layout.outerFrame, Qt::black);
        frameRect(painter, layout.innerFrame, Qt::black);
    }
    // The keyboard's place: a focus frame on the current card's description line while the
    // list has the focus, so that Tab shows when the arrow keys switch systems.
    if (option.state & QStyle::State_HasFocus)
        FocusMark::paint(painter, layout.focus, Qt::white, option.palette);
    painter->restore();
}

SystemCardDelegate::CardTexts SystemCardDelegate::cardTexts(const marlit::SystemEntry &entry,
                                                            const CardLayout &layout) const
{
    // What a card lays out is bounded, whatever length the catalogue gives a value: a name or
    // description that does not fit ends with "…".
    CardTexts texts;
    texts.fullName = neutralised(boundedText(entry.name));
    // A blank card (a new catalogue's) says what to do with it.
    texts.fullDescription =
        entry.isBlank() ? tr("New system: click Setup") : neutralised(boundedText(entry.description));
    texts.name = QFontMetrics(m_nameFont).elidedText(texts.fullName, Qt::ElideRight, layout.name.width());
    texts.description =
        QFontMetrics(m_descriptionFont).elidedText(texts.fullDescription, Qt::ElideRight, layout.description.width());
    texts.cut = texts.name != texts.fullName || texts.description != texts.fullDescription ||
                texts.fullName.endsWith(QChar(0x2026)) || texts.fullDescription.endsWith(QChar(0x2026));
    return texts;
}

bool SystemCardDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                   const QModelIndex &index)
{
    const auto *entry = index.data(SystemListModel::EntryRole).value<const marlit::SystemEntry *>();
    if (event->type() != QEvent::ToolTip || !entry)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const CardTexts texts = cardTexts(*entry, CardLayout::forItem(option.rect, option.state & QStyle::State_Selected));
    if (!texts.cut) {
        // The card shows both whole already.
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), plainToolTip({texts.fullName, texts.fullDescription}), view->viewport(),
                       option.rect);
    return true;
}

QSize SystemCardDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // No width of its own: a card spans the view.
    return QSize(0, kCardHeight);
}
