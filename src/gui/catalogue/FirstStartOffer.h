#pragma once

#include "core/catalogue/SystemEntry.h"
#include "core/catalogue/SystemPreset.h"

#include <QDialog>

#include <string>
#include <vector>

class QDialogButtonBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Offered beside the window of a new workspace, without blocking it: a system for each known
// emulator installed here, one line per system (grouped under an emulator that serves several),
// each with its tab and a button that picks its ROM folder (so do Enter and a double click on the
// line). Picking a folder ticks the line; "Add" gives the ticked systems, "Not now" or the close
// box none. With no emulator installed it says how to install one instead.
class FirstStartOffer : public QDialog
{
    Q_OBJECT

public:
    struct Choice
    {
        int category;
        marlit::SystemEntry entry;
    };

    // systems: the known systems (only the installed ones are offered); where the folder picker
    // starts (the user's home folder).
    FirstStartOffer(const std::vector<marlit::SystemPreset> &systems, std::string startFolder,
                    QWidget *parent = nullptr);
    ~FirstStartOffer() override;

    // The offered lines, in order: the tree's items that stand for a system.
    const std::vector<QTreeWidgetItem *> &lines() const { return lineItems; }
    QPushButton *folderButton(int line) const;
    // The width that shows every name whole (the screen may give less).
    int wantedWidth() const;
    // How often the system tree was laid out: once, whatever the number of lines.
    int treeLayouts() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // "Add": the ticked systems, in the order of their lines, each with its ROM folder.
    void systemsChosen(const std::vector<FirstStartOffer::Choice> &choices);
    // "Add System...": a system of an emulator not offered, set up by hand.
    void addSystemRequested();

private:
    void offer(const std::vector<marlit::SystemPreset> &systems);
    void sayHowToInstall();
    QTreeWidgetItem *addLine(QTreeWidgetItem *parent, const marlit::SystemPreset &system, bool showEmulator);
    void addFolderButton(int line);
    void addOtherSystemButton(QDialogButtonBox *buttons);
    void fitColumns();
    void chooseFolder(int line);
    void chooseFolderOf(QTreeWidgetItem *item);
    void updateAddButton();
    void add();

    std::vector<marlit::SystemPreset> offered; // one per line
    std::vector<std::string> folders;          // one per line, empty until picked
    std::vector<QTreeWidgetItem *> lineItems;
    std::string nextStartFolder;
    QTreeWidget *systemTree = nullptr;
    QPushButton *addButton = nullptr;
};
