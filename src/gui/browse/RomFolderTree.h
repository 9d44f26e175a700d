#pragma once

#include "core/browse/BrowsingState.h"

#include <QTreeWidget>

#include <string>
#include <vector>

class PaintHold;

namespace marlit {
struct FolderNode;
}

// The folder tree of the selected system: one root item "ROMS" that stands for the ROM
// directory, its sub-folders below it, closed folder icons, open ones on the selected item.
// Above "ROMS" stand the system's two views of its play history, "Favourites" and "Recently
// Played".
class RomFolderTree : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr const char *kRootText = "ROMS";

    // What the current item stands for; the views above "ROMS" are the browsing's views.
    using View = marlit::BrowseView;

    explicit RomFolderTree(QWidget *parent = nullptr);

    // Empties the tree and fills it with the folders below the ROM directory (as the folder
    // scanner gives them); only the root is expanded.
    void FillFolderTree(const std::vector<marlit::FolderNode> &folders);

    // The tree of a system whose folders are being read: "ROMS" alone, current but not
    // selected, painted only once the folders come or a frame or two have passed.
    void awaitFolders();
    // Shows folders in place of the tree's, keeping the selected folder, the expanded ones and
    // the scroll position, without reporting a change of the current item. Gives false when the
    // selected folder is gone; its nearest remaining ancestor is selected then.
    // unanswered: the folders (paths from the root, "A/B") that did not answer, marked so.
    bool replaceFolders(const std::vector<marlit::FolderNode> &folders,
                        const std::vector<std::string> &unanswered = {});

    // The folder names from the root's child down to the selected item; empty for the root
    // item or when nothing is selected.
    std::vector<std::string> selectedPath() const;
    // Folder for a folder item or none; else the history view the current item stands for.
    View selectedView() const;

    // The "ROMS" item, and a view's item; nothing while the tree is empty.
    QTreeWidgetItem *romsItem() const;
    QTreeWidgetItem *viewItem(View view) const;

signals:
    // A left click on the item that was current already, which changes no current item.
    void currentFolderClickedAgain();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void addChildren(QTreeWidgetItem *parent, const std::vector<marlit::FolderNode> &nodes);
    static std::vector<std::string> pathOf(const QTreeWidgetItem *item);
    // The item at path below the root, or its deepest ancestor there; exact tells which.
    QTreeWidgetItem *itemFor(const std::vector<std::string> &path, bool &exact) const;

    QIcon m_folderIcon;
    QIcon m_favouritesIcon;
    QIcon m_recentlyPlayedIcon;
    QIcon m_allGamesIcon;
    QIcon viewIcon(View view) const;
    PaintHold *m_paintHold = nullptr;
    QTreeWidgetItem *m_currentAtPress = nullptr;
};
