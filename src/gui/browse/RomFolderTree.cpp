#include "gui/browse/RomFolderTree.h"

#include "core/browse/FolderTreeScanner.h"
#include "gui/browse/PaintHold.h"
#include "gui/history/HistoryIcons.h"
#include "gui/text/BoundedText.h"

#include <QFile>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

namespace {

// The folder's own bytes: the shown text may not give them back for a name that is not valid
// in the locale's encoding.
constexpr int kNameBytesRole = Qt::UserRole + 1;
// A history view's item: which view it is.
constexpr int kViewRole = Qt::UserRole + 2;

} // namespace

RomFolderTree::RomFolderTree(QWidget *parent) : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setIconSize(QSize(16, 16));
    m_paintHold = new PaintHold(viewport());

    // A closed folder, and an open one while the item is selected.
    m_folderIcon.addPixmap(style()->standardIcon(QStyle::SP_DirClosedIcon).pixmap(16, 16), QIcon::Normal);
    m_folderIcon.addPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16), QIcon::Selected);
    m_favouritesIcon = HistoryIcons::favourites();
    m_recentlyPlayedIcon = HistoryIcons::recentlyPlayed();
    m_allGamesIcon = style()->standardIcon(QStyle::SP_FileDialogDetailedView);
}

void RomFolderTree::FillFolderTree(const std::vector<marlit::FolderNode> &folders)
{
    m_currentAtPress = nullptr;
    clear();
    for (const marlit::BrowseViewName &name : marlit::BrowsingState::views()) {
        auto *item = new QTreeWidgetItem(this, QStringList(QString::fromLatin1(name.text)));
        item->setIcon(0, viewIcon(name.view));
        item->setData(0, kViewRole, static_cast<int>(name.view));
    }
    auto *root = new QTreeWidgetItem(this, QStringList(QString::fromLatin1(kRootText)));
    root->setIcon(0, m_folderIcon);
    addChildren(root, folders);
    root->setExpanded(true);
}

QIcon RomFolderTree::viewIcon(View view) const
{
    switch (view) {
    case View::Favourites:
        return m_favouritesIcon;
    case View::RecentlyPlayed:
        return m_recentlyPlayedIcon;
    case View::AllGames:
        return m_allGamesIcon;
    case View::Folder:
        break;
    }
    return m_folderIcon;
}

void RomFolderTree::awaitFolders()
{
    m_paintHold->hold();
    const QSignalBlocker blocker(this);
    FillFolderTree({});
    // Current without being selected, so that the tree gaining the focus later does not pick it
    // and refill the ROM list under the user's selection.
    setCurrentItem(romsItem(), 0, QItemSelectionModel::NoUpdate);
}

bool RomFolderTree::replaceFolders(const std::vector<marlit::FolderNode> &folders,
                                   const std::vector<std::string> &unanswered)
{
    const std::vector<std::string> selected = selectedPath();
    const View view = selectedView();
    const bool wasSelected = currentItem() && currentItem()->isSelected();
    std::vector<std::vector<std::string>> expanded;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->isExpanded() && (*it)->parent())
            expanded.push_back(pathOf(*it));
    const int scroll = verticalScrollBar()->value();

    const QSignalBlocker blocker(this);
    FillFolderTree(folders);
    bool exact = false;
    for (const std::string &path : unanswered) {
        std::vector<std::string> names;
        for (std::size_t start = 0; start <= path.size();) {
            const std::size_t end = std::min(path.find('/', start), path.size());
            names.push_back(path.substr(start, end - start));
            start = end + 1;
        }
        if (QTreeWidgetItem *item = itemFor(names, exact); item && exact) {
            // Its name stays its own (the path's bytes); only what is shown says it.
            item->setText(0, tr("%1 (does not answer)").arg(item->text(0)));
            item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
            item->setToolTip(0, tr("This folder does not answer: its sub-folders are not shown"));
        }
    }
    for (const std::vector<std::string> &path : expanded)
        if (QTreeWidgetItem *item = itemFor(path, exact); item && exact)
            item->setExpanded(true);
    QTreeWidgetItem *current = view == View::Folder ? itemFor(selected, exact) : viewItem(view);
    exact = exact || view != View::Folder; // a view never goes
    setCurrentItem(current, 0,
                   wasSelected || !exact ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
    verticalScrollBar()->setValue(scroll);
    m_paintHold->release();
    return exact;
}

void RomFolderTree::addChildren(QTreeWidgetItem *parent, const std::vector<marlit::FolderNode> &nodes)
{
    QList<QTreeWidgetItem *> items;
    items.reserve(static_cast<qsizetype>(nodes.size()));
    for (const marlit::FolderNode &node : nodes) {
        // Shown neutralised and bounded; the folder is found again by its bytes.
        auto *item = new QTreeWidgetItem(QStringList(neutralised(boundedText(node.name))));
        item->setIcon(0, m_folderIcon);
        item->setData(0, kNameBytesRole, QByteArray::fromStdString(node.name));
        addChildren(item, node.children);
        items.append(item);
    }
    // The scanner gives the children in order already; one insert per level keeps big trees fast.
    parent->addChildren(items);
}

std::vector<std::string> RomFolderTree::pathOf(const QTreeWidgetItem *item)
{
    std::vector<std::string> names;
    for (; item && item->parent(); item = item->parent())
        names.push_back(item->data(0, kNameBytesRole).toByteArray().toStdString());
    return {names.rbegin(), names.rend()};
}

std::vector<std::string> RomFolderTree::selectedPath() const
{
    return pathOf(currentItem());
}

RomFolderTree::View RomFolderTree::selectedView() const
{
    const QTreeWidgetItem *item = currentItem();
    const QVariant view = item ? item->data(0, kViewRole) : QVariant();
    return view.isValid() ? static_cast<View>(view.toInt()) : View::Folder;
}

QTreeWidgetItem *RomFolderTree::romsItem() const
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (!topLevelItem(i)->data(0, kViewRole).isValid())
            return topLevelItem(i);
    return nullptr;
}

QTreeWidgetItem *RomFolderTree::viewItem(View view) const
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->data(0, kViewRole) == QVariant(static_cast<int>(view)))
            return topLevelItem(i);
    return nullptr;
}

QTreeWidgetItem *RomFolderTree::itemFor(const std::vector<std::string> &path, bool &exact) const
{
    QTreeWidgetItem *item = romsItem();
    exact = item != nullptr;
    for (const std::string &name : path) {
        QTreeWidgetItem *next = nullptr;
        const QByteArray bytes = QByteArray::fromStdString(name);
        for (int i = 0; item && i < item->childCount() && !next; ++i)
            if (item->child(i)->data(0, kNameBytesRole).toByteArray() == bytes)
                next = item->child(i);
        if (!next) {
            exact = false;
            break;
        }
        item = next;
    }
    return item;
}

void RomFolderTree::mousePressEvent(QMouseEvent *event)
{
    m_currentAtPress = currentItem();
    QTreeWidget::mousePressEvent(event);
}

void RomFolderTree::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeWidget::mouseReleaseEvent(event);
    QTreeWidgetItem *item = itemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && item && item == m_currentAtPress && item == currentItem())
        emit currentFolderClickedAgain();
    m_currentAtPress = nullptr;
}
