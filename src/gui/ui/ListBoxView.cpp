#include "gui/ui/ListBoxView.h"

#include <QMouseEvent>
#include <QScopedValueRollback>

ListBoxView::ListBoxView(QWidget *parent) : QListView(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
}

int ListBoxView::currentRow() const
{
    // The selected row: with the keyboard the cursor can rest on a row that is not selected.
    if (!selectionModel())
        return -1;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void ListBoxView::setCurrentRow(int row)
{
    if (!model() || !selectionModel())
        return;
    const QScopedValueRollback quiet(m_selectingQuietly, true);
    const QModelIndex index = model()->index(row, 0);
    if (!index.isValid()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void ListBoxView::setSelectionModel(QItemSelectionModel *selectionModel)
{
    // Every setModel() brings a new selection model: follow it, and only it.
    if (QItemSelectionModel *previous = this->selectionModel())
        disconnect(previous, &QItemSelectionModel::selectionChanged, this, &ListBoxView::onSelectionChanged);
    QListView::setSelectionModel(selectionModel);
    if (this->selectionModel())
        connect(this->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ListBoxView::onSelectionChanged);
}

void ListBoxView::changeQuietly(const std::function<void()> &change)
{
    const QScopedValueRollback quiet(m_selectingQuietly, true);
    change();
}

void ListBoxView::onSelectionChanged()
{
    if (!m_selectingQuietly)
        emit selectionChangedByUser();
}

void ListBoxView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    // Qt rests the cursor on the first row when a list without a current row gets the focus. In a
    // list box that row is neither selected nor where the next Down lands, so it stays unmarked.
    if (selectionModel() && !selectionModel()->hasSelection() && currentIndex().isValid())
        selectionModel()->clearCurrentIndex();
}

void ListBoxView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        emit rowDoubleClicked();
}

void ListBoxView::mousePressEvent(QMouseEvent *event)
{
    m_selectedAtPress = currentRow();
    QListView::mousePressEvent(event);
}

void ListBoxView::mouseReleaseEvent(QMouseEvent *event)
{
    QListView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && index.row() == m_selectedAtPress &&
        index.row() == currentRow())
        emit selectedRowClickedAgain();
    m_selectedAtPress = -1;
}

QItemSelectionModel::SelectionFlags ListBoxView::selectionCommand(const QModelIndex &index, const QEvent *event) const
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
