#pragma once

#include <QTreeWidget>

#include <string>
#include <vector>

namespace marlit {
struct FolderNode;
}

// The folder tree of the selected system: one root item "ROMS" that stands for the ROM
// directory, its sub-folders below it, closed folder icons, open ones on the selected item.
class RomFolderTree : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr const char *kRootText = "ROMS";

    explicit RomFolderTree(QWidget *parent = nullptr);

    // Empties the tree and fills it with the folders below the ROM directory (as the folder
    // scanner gives them); only the root is expanded.
    void FillFolderTree(const std::vector<marlit::FolderNode> &folders);

    // The folder names from the root's child down to the selected item; empty for the root
    // item or when nothing is selected.
    std::vector<std::string> selectedPath() const;

private:
    void addChildren(QTreeWidgetItem *parent, const std::vector<marlit::FolderNode> &nodes);

    QIcon m_folderIcon;
};
