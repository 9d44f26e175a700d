#include "ui/RomListBox.h"

#include "ui/RomListModel.h"
#include "ui/RomRowDelegate.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
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
    : QListView(parent), m_model(new RomListModel(this)),
      m_delegate(new RomRowDelegate(style()->standardIcon(QStyle::SP_FileIcon), this))
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setItemDelegate(m_delegate);
    setModel(m_model);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selectingQuietly)
            emit romSelectionChanged();
    });

    SetItemFont(QStringLiteral("Arial"), 120, Qt::black);
}

RomListBox::~RomListBox() = default;

void RomListBox::setNames(std::vector<std::string> names)
{
    const QScopedValueRollback quiet(m_selectingQuietly, true);
    m_model->setNames(std::move(names));
}

void RomListBox::clearNames()
{
    const QScopedValueRollback quiet(m_selectingQuietly, true);
    m_model->clear();
}

int RomListBox::count() const
{
    return m_model->rowCount();
}

const std::string &RomListBox::nameAt(int row) const
{
    return m_model->nameAt(row);
}

int RomListBox::currentRow() const
{
    // The selected row: with the keyboard the cursor can rest on a row that is not selected.
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void RomListBox::setCurrentRow(int row)
{
    const QScopedValueRollback quiet(m_selectingQuietly, true);
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
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
    QListView::keyPressEvent(event);
}

QItemSelectionModel::SelectionFlags RomListBox::selectionCommand(const QModelIndex &index, const QEvent *event) const
{
    // Like a list box, the list never loses its selection to the user: a click beside the rows
    // or a Ctrl+click on the selected row leaves it as it is.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListView::selectionCommand(index, event);
    if (command & QItemSelectionModel::Deselect)
        return QItemSelectionModel::NoUpdate;
    return command;
}

void RomListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        emit playRequested();
}

void RomListBox::paintEvent(QPaintEvent *event)
{
    QListView::paintEvent(event);
    if (m_model->rowCount() == 0 && (hasFocus() || viewport()->hasFocus())) {
        QPainter painter(viewport());
        m_delegate->paintEmptyFocusBand(&painter, QRect(0, 0, viewport()->width(), itemHeight()), this);
    }
}
