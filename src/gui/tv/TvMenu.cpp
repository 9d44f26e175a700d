#include "gui/tv/TvMenu.h"

#include "gui/tv/TvItemDelegate.h"
#include "gui/tv/TvText.h"

#include <QKeyEvent>
#include <QPainter>

TvMenu::TvMenu(TvText &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

void TvMenu::setGeometryUnits(const marlit::TvGeometry &geometry)
{
    m_geometry = geometry;
    update();
}

void TvMenu::open(std::vector<Entry> entries)
{
    m_entries = std::move(entries);
    m_current = 0;
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

QRect TvMenu::entryRect(int entry) const
{
    const int rowHeight = m_geometry.gameRowHeight + marlit::TvLayout::scaled(m_geometry, 10);
    const int width = std::min(this->width() - 2 * m_geometry.margin, marlit::TvLayout::scaled(m_geometry, 520));
    const int height = rowHeight * static_cast<int>(m_entries.size());
    return QRect((this->width() - width) / 2, (this->height() - height) / 2 + entry * rowHeight, width, rowHeight);
}

void TvMenu::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0, 0, 0, 150));
    if (m_entries.empty())
        return;
    const auto u = [this](int n) { return marlit::TvLayout::scaled(m_geometry, n); };
    const QRect all = entryRect(0).united(entryRect(static_cast<int>(m_entries.size()) - 1));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(24, 30, 38));
    painter.drawRoundedRect(all.adjusted(-u(16), -u(16), u(16), u(16)), u(14), u(14));
    painter.setFont(TvItemDelegate::font(m_geometry.titlePixels, true));
    for (int i = 0; i < static_cast<int>(m_entries.size()); ++i) {
        const QRectF box = QRectF(entryRect(i)).adjusted(u(4), u(4), -u(4), -u(4));
        if (i == m_current) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(52, 66, 84));
            painter.drawRoundedRect(box, u(8), u(8));
            TvItemDelegate::paintFocusFrame(&painter, box, m_geometry.focusFrame, u(8));
        }
        painter.setPen(QColor(244, 246, 248));
        m_text.draw(painter, box, Qt::AlignCenter, m_entries[static_cast<std::size_t>(i)].text);
    }
}

void TvMenu::keyPressEvent(QKeyEvent *event)
{
    const int count = static_cast<int>(m_entries.size());
    switch (event->key()) {
    case Qt::Key_Up:
        m_current = count ? (m_current + count - 1) % count : 0;
        update();
        return;
    case Qt::Key_Down:
        m_current = count ? (m_current + 1) % count : 0;
        update();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
        finish(count ? std::optional(m_entries[static_cast<std::size_t>(m_current)].id) : std::nullopt);
        return;
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
    case Qt::Key_Menu:
        finish(std::nullopt);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TvMenu::finish(std::optional<int> id)
{
    hide();
    emit closed();
    if (id)
        emit chosen(*id);
}
