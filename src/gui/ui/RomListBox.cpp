#include "gui/ui/RomListBox.h"

#include "gui/ui/RomListModel.h"
#include "gui/ui/RomRowDelegate.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

// The character height in pixels of a font of the given size, at the screen's vertical resolution.
int pixelHeightOf(int pointSizeTenths, int logicalDpiY)
{
    // Out-of-range sizes from a damaged settings file still give a drawable font.
    const double pixels = pointSizeTenths / 10.0 * logicalDpiY / 72.0;
    return qRound(std::clamp(pixels, 1.0, 1000.0));
}

} // namespace

RomListBox::RomListBox(QWidget *parent)
    : ListBoxView(parent), m_model(new RomListModel(this)),
      m_delegate(new RomRowDelegate(style()->standardIcon(QStyle::SP_FileIcon), this))
{
    setItemDelegate(m_delegate);
    setModel(m_model);
    connect(this, &ListBoxView::selectionChangedByUser, this, &RomListBox::romSelectionChanged);
    connect(this, &ListBoxView::rowDoubleClicked, this, &RomListBox::playRequested);

    SetItemFont(QStringLiteral("Arial"), 120, Qt::black);
}

RomListBox::~RomListBox() = default;

void RomListBox::setNames(std::vector<std::string> names)
{
    changeQuietly([&] { m_model->setNames(std::move(names)); });
}

void RomListBox::clearNames()
{
    changeQuietly([&] { m_model->clear(); });
}

int RomListBox::count() const
{
    return m_model->rowCount();
}

const std::string &RomListBox::nameAt(int row) const
{
    return m_model->nameAt(row);
}

void RomListBox::SetItemFont(const QString &face, int pointSizeTenths, const QColor &color)
{
    const int pixelHeight = pixelHeightOf(pointSizeTenths, logicalDpiY());
    QFont font(face);
    font.setPixelSize(pixelHeight);
    m_delegate->setItemFont(font, color, pixelHeight + 2);
    // Every row changes height at once: lay the rows out again and repaint them all.
    doItemsLayout();
    viewport()->update();
}

int RomListBox::itemHeight() const
{
    return m_delegate->rowHeight();
}

QFont RomListBox::itemFont() const
{
    return m_delegate->font();
}

QColor RomListBox::textColor() const
{
    return m_delegate->textColor();
}

void RomListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Holding Enter down must not start one emulator per repeated key.
        if (!event->isAutoRepeat())
            emit playRequested();
        event->accept();
        return;
    }
    ListBoxView::keyPressEvent(event);
}

void RomListBox::paintEvent(QPaintEvent *event)
{
    ListBoxView::paintEvent(event);
    if (m_model->rowCount() == 0 && (hasFocus() || viewport()->hasFocus())) {
        QPainter painter(viewport());
        m_delegate->paintEmptyFocusBand(&painter, QRect(0, 0, viewport()->width(), itemHeight()), this);
    }
}
