#pragma once

#include "core/catalogue/ListOperation.h"
#include "gui/ui/ListBoxView.h"

#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class SystemListModel;
class SystemCardDelegate;

namespace marlit {
class CategoryCatalogue;
}

// The system list: one 38-pixel card per system (icon, name on a coloured band, description
// below), in catalogue order, with the context menu of a system. The menu's commands act on the
// current row, which the window keeps equal to its selected system; they reach the window as
// signals.
class SystemListBox : public ListBoxView
{
    Q_OBJECT

public:
    // The context menu's commands; each menu item carries its id as its data.
    enum Command : int {
        SetupSystemCommand = 40001,
        MoveUpCommand = 40003,
        MoveDownCommand = 40004,
        DeleteSystemCommand = 40005,
        LaunchEmuCommand = 40006,
        TvModeCommand = 40007,
        AddSystemCommand = 40008,
    };

    explicit SystemListBox(QWidget *parent = nullptr);
    ~SystemListBox() override;

    // Shows the catalogue's entries (copied; call again after every change).
    void setCatalogue(const marlit::CategoryCatalogue &catalogue);

    // The folder the program works in ("" for the working directory, else ending with the
    // separator), where "default.ico" stands in for a system without an icon.
    void setWorkFolder(const std::string &folder);

    // The context menu for the current system, with its items greyed as they must be.
    std::unique_ptr<QMenu> createContextMenu();

    // Asked before a system is deleted, with the question naming it; answers true for Yes.
    // Replaceable for tests.
    using DeleteConfirmation = std::function<bool(QWidget *parent, const QString &question)>;
    void setDeleteConfirmation(DeleteConfirmation confirm) { m_confirmDelete = std::move(confirm); }

    // Letters select nothing here.
    void keyboardSearch(const QString &search) override;

signals:
    // The current row changed by the user (mouse, keyboard, or a right click on another
    // system), not programmatically.
    void systemSelectionChanged();
    void systemDoubleClicked();
    void setupRequested();
    void addSystemRequested();
    void launchEmulatorRequested();
    void listOperationRequested(marlit::ListOperation operation);
    // "TV Mode": the window is to give way to the full-screen view.
    void tvModeRequested();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    // Shows the menu at a screen position and gives the item chosen, or nullptr.
    virtual QAction *execMenu(QMenu &menu, const QPoint &globalPos);

private:
    void runCommand(int commandId);
    QString deleteQuestion(int row) const;
    bool hasCurrentSystem() const;
    int lastRow() const;

    SystemListModel *m_model = nullptr;
    SystemCardDelegate *m_delegate = nullptr;
    DeleteConfirmation m_confirmDelete;
};
