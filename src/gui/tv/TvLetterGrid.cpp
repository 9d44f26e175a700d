#include "gui/tv/TvLetterGrid.h"

#include "gui/tv/TvItemDelegate.h"
#include "gui/tv/TvText.h"

#include <QKeyEvent>
#include <QPainter>

namespace {

const QColor kPanelColor{24, 30, 38, 245};
const QColor kKeyColor{44, 54, 68};
const QColor kTextColor{244, 246, 248};

} // namespace

TvLetterGrid::TvLetterGrid(TvText &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

void TvLetterGrid::setGeometryUnits(const marlit::TvGeometry &geometry)
{
    m_geometry = geometry;
    update();
}

void TvLetterGrid::open(const QString &text)
{
    m_pad.reset(text.toLocal8Bit().toStdString());
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

QString TvLetterGrid::text() const
{
    return QString::fromLocal8Bit(m_pad.text());
}

QRect TvLetterGrid::panelRect() const
{
    const int cell = m_geometry.letterCell;
    const int rows = static_cast<int>(marlit::TvLetterPad::rows().size());
    const int width = cell * marlit::TvLetterPad::kColumns + 2 * m_geometry.margin;
    const int height = cell * (rows + 1) + 3 * m_geometry.margin;
    return QRect((this->width() - width) / 2, (this->height() - height) / 2, width, height);
}

QRect TvLetterGrid::keyRect(int row, const marlit::TvLetterPad::Key &key) const
{
    const QRect panel = panelRect();
    const int cell = m_geometry.letterCell;
    const int top = panel.top() + 2 * m_geometry.margin + cell;
    return QRect(panel.left() + m_geometry.margin + key.column * cell, top + row * cell, key.span * cell, cell);
}

void TvLetterGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0, 0, 0, 150));
    const QRect panel = panelRect();
    const auto u = [this](int n) { return marlit::TvLayout::scaled(m_geometry, n); };
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPanelColor);
    painter.drawRoundedRect(panel, u(14), u(14));

    // The text typed so far, with a caret where the next letter goes.
    const QRect field(panel.left() + m_geometry.margin, panel.top() + m_geometry.margin,
                      panel.width() - 2 * m_geometry.margin, m_geometry.letterCell);
    painter.setBrush(kTextColor);
    painter.drawRoundedRect(field, u(8), u(8));
    painter.setFont(TvItemDelegate::font(m_geometry.titlePixels, true));
    painter.setPen(TvItemDelegate::kBackground);
    const QFontMetrics metrics(painter.font());
    m_text.draw(painter, field.adjusted(u(16), 0, -u(16), 0), Qt::AlignLeft | Qt::AlignVCenter,
                metrics.elidedText(text() + QLatin1Char('_'), Qt::ElideLeft, field.width() - u(32)));

    const auto &rows = marlit::TvLetterPad::rows();
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (const marlit::TvLetterPad::Key &key : rows[static_cast<std::size_t>(row)]) {
            const QRectF box = QRectF(keyRect(row, key)).adjusted(u(4), u(4), -u(4), -u(4));
            const bool current = row == m_pad.row() && &key == &m_pad.current();
            painter.setPen(Qt::NoPen);
            painter.setBrush(kKeyColor);
            painter.drawRoundedRect(box, u(8), u(8));
            if (current)
                TvItemDelegate::paintFocusFrame(&painter, box, m_geometry.focusFrame, u(8));
            painter.setPen(kTextColor);
            painter.setFont(TvItemDelegate::font(key.span > 1 ? m_geometry.smallPixels : m_geometry.titlePixels, true));
            m_text.draw(painter, box, Qt::AlignCenter, QString::fromLatin1(marlit::TvLetterPad::keyText(key)));
        }
    }
}

void TvLetterGrid::keyPressEvent(QKeyEvent *event)
{
    using Move = marlit::TvLetterPad::Move;
    switch (event->key()) {
    case Qt::Key_Up:
        m_pad.move(Move::Up);
        break;
    case Qt::Key_Down:
        m_pad.move(Move::Down);
        break;
    case Qt::Key_Left:
        m_pad.move(Move::Left);
        break;
    case Qt::Key_Right:
        m_pad.move(Move::Right);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select: {
        const std::string before = m_pad.text();
        if (m_pad.press()) {
            hide();
            emit closed();
            return;
        }
        if (m_pad.text() != before)
            emit textChanged(text());
        break;
    }
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
        hide();
        emit closed();
        return;
    default:
        // A keyboard, where there is one, types too.
        if (!event->text().isEmpty() && event->text().at(0).isPrint()) {
            m_pad.type(event->text().toLocal8Bit().toStdString());
            emit textChanged(text());
            break;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    update();
}
