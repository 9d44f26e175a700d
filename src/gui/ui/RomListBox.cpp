#include "gui/ui/RomListBox.h"

#include "gui/browse/PaintHold.h"
#include "gui/ui/RomListModel.h"
#include "gui/ui/RomRowDelegate.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
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

    // The window's shortcut, whichever control has the focus; the menu shows it too.
    m_favouriteAction = new QAction(tr("Add to Favourites"), this);
    m_favouriteAction->setObjectName(QStringLiteral("favouriteAction"));
    m_favouriteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_favouriteAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_favouriteAction);
    connect(m_favouriteAction, &QAction::triggered, this, [this] {
        if (currentRow() >= 0)
            emit favouriteToggleRequested();
    });

    m_stopGameAction = new QAction(tr("Stop Game"), this);
    m_stopGameAction->setObjectName(QStringLiteral("stopGameAction"));
    m_stopGameAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
    m_stopGameAction->setShortcutContext(Qt::WindowShortcut);
    m_stopGameAction->setEnabled(false);
    addAction(m_stopGameAction);
    connect(m_stopGameAction, &QAction::triggered, this, &RomListBox::stopGameRequested);

    SetItemFont(QStringLiteral("Arial"), 120, Qt::black);
    m_paintHold = new PaintHold(viewport());
}

RomListBox::~RomListBox() = default;

void RomListBox::setNames(marlit::RomNames names)
{
    changeQuietly([&] { m_model->setNames(std::move(names)); });
    m_paintHold->release();
}

void RomListBox::clearNames()
{
    changeQuietly([&] { m_model->clear(); });
}

void RomListBox::awaitNames()
{
    m_paintHold->hold();
    clearNames();
}

int RomListBox::rowOf(const std::string &name, bool orNext) const
{
    // The names are in name order unless the list is sorted by what a game list says; then
    // the name is sought row by row.
    const marlit::RomNames &names = m_model->names();
    const auto bound = static_cast<int>(names.lowerBound(name));
    if (bound < count() && names[static_cast<std::size_t>(bound)] == name)
        return bound;
    for (std::size_t row = 0; row < names.size(); ++row)
        if (names[row] == name)
            return static_cast<int>(row);
    return orNext ? bound : -1;
}

bool RomListBox::replaceNames(marlit::RomNames names)
{
    if (names == m_model->names())
        return true;
    const int row = currentRow();
    const std::string selected = row >= 0 ? nameAt(row) : std::string();
    const QModelIndex top = indexAt(QPoint(0, 0));
    const std::string topName = top.isValid() ? nameAt(top.row()) : std::string();

    bool kept = row < 0;
    changeQuietly([&] {
        m_model->setNames(std::move(names));
        const int newRow = row >= 0 ? rowOf(selected) : -1;
        if (newRow >= 0) {
            selectionModel()->setCurrentIndex(m_model->index(newRow), QItemSelectionModel::ClearAndSelect);
            kept = true;
        }
    });
    // The row that stood at the top stays there, or the one that now stands in its place.
    const int topRow = std::min(rowOf(topName, true), count() - 1);
    if (!topName.empty() && topRow >= 0)
        scrollTo(m_model->index(topRow), QAbstractItemView::PositionAtTop);
    m_paintHold->release();
    return kept;
}

void RomListBox::setRows(std::vector<marlit::HistoryView::Row> rows, const std::string &keptPath)
{
    changeQuietly([&] {
        m_model->setRows(std::move(rows));
        for (int row = 0; !keptPath.empty() && row < count(); ++row)
            if (m_model->pathAt(row) == keptPath) {
                selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
                break;
            }
    });
    m_paintHold->release();
}

void RomListBox::setPlaceholder(const QString &text)
{
    if (text == m_placeholder)
        return;
    m_placeholder = text;
    if (!text.isEmpty())
        m_paintHold->release(); // something to say is said at once
    viewport()->update();
}

int RomListBox::count() const
{
    return m_model->rowCount();
}

std::string RomListBox::nameAt(int row) const
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

void RomListBox::setGameRunning(bool running)
{
    m_stopGameAction->setEnabled(running);
}

void RomListBox::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
    QPoint globalPos = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        // The menu acts on the ROM under the cursor: it is selected first, as a click would.
        const QModelIndex index = indexAt(event->pos());
        if (!index.isValid())
            return;
        if (index.row() != currentRow())
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        // From the keyboard: beside the selected row.
        const QModelIndex current = m_model->index(currentRow(), 0);
        if (!current.isValid())
            return;
        globalPos = viewport()->mapToGlobal(visualRect(current).bottomLeft());
    }

    QMenu menu(this);
    menu.setObjectName(QStringLiteral("romMenu"));
    QAction *play = menu.addAction(tr("Play"));
    m_favouriteAction->setText(m_model->isFavourite(currentRow()) ? tr("Remove from Favourites")
                                                                  : tr("Add to Favourites"));
    menu.addAction(m_favouriteAction);
    menu.addSeparator();
    QAction *forget = menu.addAction(tr("Forget Play History"));
    menu.addSeparator();
    menu.addAction(m_stopGameAction);
    QAction *chosen = menu.exec(globalPos);
    if (chosen == play)
        emit playRequested();
    else if (chosen == forget)
        emit forgetHistoryRequested();
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
    // The row shows a title; what is copied is its file name.
    if (event->matches(QKeySequence::Copy) && currentRow() >= 0) {
        QGuiApplication::clipboard()->setText(m_model->index(currentRow()).data(RomListModel::FileNameRole).toString());
        event->accept();
        return;
    }
    ListBoxView::keyPressEvent(event);
}

void RomListBox::paintEvent(QPaintEvent *event)
{
    ListBoxView::paintEvent(event);
    const bool empty = m_model->rowCount() == 0;
    // No row carries the focus frame (an empty list, or none current yet): the list shows it has
    // the keys around its rows, without a band that would look like a row.
    if ((hasFocus() || viewport()->hasFocus()) && (empty || !currentIndex().isValid())) {
        QPainter painter(viewport());
        m_delegate->paintListFocusFrame(&painter, viewport()->rect(), this);
    }
    if (m_placeholder.isEmpty())
        return;
    QPainter painter(viewport());
    const QRect area = viewport()->rect().adjusted(8, 8, -8, -8);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    if (empty) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(area, flags, m_placeholder);
        return;
    }
    // Over rows, in a band of its own along the bottom, so that it hides as little as it can.
    const QRect text = painter.fontMetrics().boundingRect(area, flags, m_placeholder);
    const QRect band(0, viewport()->height() - text.height() - 8, viewport()->width(), text.height() + 8);
    painter.fillRect(band, palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawText(band.adjusted(8, 0, -8, 0), flags, m_placeholder);
}

void RomListBox::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    ListBoxView::currentChanged(current, previous);
    // The frame around the rows comes and goes with the current row: the whole list is drawn
    // again, not only the rows that changed.
    if (current.isValid() != previous.isValid())
        viewport()->update();
}
