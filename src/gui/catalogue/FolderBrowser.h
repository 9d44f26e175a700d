#pragma once

#include <QDialog>
#include <QFileIconProvider>
#include <QPersistentModelIndex>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QFileSystemModel;
class QItemSelection;
class ElidedPathLabel;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeView;

// The folder picker of the System Configuration dialog: the line "Current Selection", a path
// field (the highlighted folder's whole path, or one typed or pasted), places beside the tree
// (home, removable media, the other systems' ROM folders), the folder tree of the whole file
// system (folders only, no hidden ones, read in the background so a slow disk never blocks it;
// the row under the pointer holds still as folders arrive or go), a status line with the highlighted
// folder's path, "OK" and "Cancel". It can be resized. One object per use: construct it on a
// start folder, Browse once, read GetPath after a choice.
class FolderBrowser : public QDialog
{
    Q_OBJECT

public:
    // What Browse returns: the values of the dialog results OK and Cancel.
    enum BrowseResult : int { FolderChosen = 1, Cancelled = 2 };

    // startFolder and every path here are the file names' own bytes; an empty start folder
    // highlights nothing.
    // otherFolders: the other systems' ROM folders, offered as places.
    explicit FolderBrowser(std::string startFolder, QWidget *owner = nullptr,
                           const std::vector<std::string> &otherFolders = {});
    ~FolderBrowser() override;

    // Shows the picker modally, opened on the start folder: FolderChosen when the user chose a
    // highlighted folder (OK or Enter), Cancelled otherwise (Cancel, Escape, the close box).
    int Browse();

    // The chosen folder, without a trailing separator (the root is "/"). Read after FolderChosen.
    std::string GetPath() const { return selectedPath; }

    // Highlights path in the tree, expanding its parents and scrolling to it, when it is a folder
    // the tree shows; otherwise nothing is highlighted.
    void SetSelection(const std::string &path);
    // Shows path in the status line: whole where it fits, else shortened in the middle.
    void SetStatusText(const QString &path);

    QTreeView *folderTree() const { return tree; }
    QListWidget *placeList() const { return places; }
    // The status line as it reads.
    QString statusText() const;

private:
    void OnInitialized();
    void OnSelChanged();
    void keepSelectionInView();
    void addPlaces(const std::vector<std::string> &otherFolders);
    void holdRowUnderPointer();
    QString highlightedPath() const;

    std::string initialFolder;
    std::string selectedPath;
    bool followSelection = false; // keep the highlighted folder in view as folders arrive
    bool pathTyped = false;       // the path field holds what the user typed
    // The row at the pointer before folders arrived, and where it stood, to hold it there.
    QPersistentModelIndex heldRow;
    int heldRowTop = 0;

    // The model draws its folders with the provider, which therefore outlives it: the model is
    // not a child, so that it goes before the provider does.
    QFileIconProvider folderIcons;
    std::unique_ptr<QFileSystemModel> model;
    QTreeView *tree = nullptr;
    QLabel *titleLine = nullptr;
    QLineEdit *pathField = nullptr;
    QListWidget *places = nullptr;
    ElidedPathLabel *statusLine = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
};
