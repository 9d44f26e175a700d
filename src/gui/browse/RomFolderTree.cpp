#include "gui/browse/RomFolderTree.h"

#include "core/browse/FolderTreeScanner.h"

#include <QFile>
#include <QHeaderView>
#include <QStyle>

namespace {

// The folder's own bytes: the shown text may not give them back for a name that is not valid
// in the locale's encoding.
constexpr int kNameBytesRole = Qt::UserRole + 1;

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

    // A closed folder, and an open one while the item is selected.
    m_folderIcon.addPixmap(style()->standardIcon(QStyle::SP_DirClosedIcon).pixmap(16, 16), QIcon::Normal);
    m_folderIcon.addPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16), QIcon::Selected);
}

void RomFolderTree::FillFolderTree(const std::vector<marlit::FolderNode> &folders)
{
    clear();
    auto *root = new QTreeWidgetItem(this, QStringList(QString::fromLatin1(kRootText)));
    root->setIcon(0, m_folderIcon);
    addChildren(root, folders);
    root->setExpanded(true);
}

void RomFolderTree::addChildren(QTreeWidgetItem *parent, const std::vector<marlit::FolderNode> &nodes)
{
    QList<QTreeWidgetItem *> items;
    items.reserve(static_cast<qsizetype>(nodes.size()));
    for (const marlit::FolderNode &node : nodes) {
        auto *item = new QTreeWidgetItem(QStringList(QFile::decodeName(QByteArray::fromStdString(node.name))));
        item->setIcon(0, m_folderIcon);
        item->setData(0, kNameBytesRole, QByteArray::fromStdString(node.name));
        addChildren(item, node.children);
        items.append(item);
    }
    // The scanner gives the children in order already; one insert per level keeps big trees fast.
    parent->addChildren(items);
}

std::vector<std::string> RomFolderTree::selectedPath() const
{
    std::vector<std::string> names;
    for (const QTreeWidgetItem *item = currentItem(); item && item->parent(); item = item->parent())
        names.push_back(item->data(0, kNameBytesRole).toByteArray().toStdString());
    return {names.rbegin(), names.rend()};
}
