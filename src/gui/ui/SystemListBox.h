#pragma once

#include "gui/ui/ListBoxView.h"

#include <functional>

class QAction;
class QMenu;
class SystemListModel;
class SystemCardDelegate;

namespace marlit {
class CategoryCatalogue;
}

// What the system list needs from the window that owns it.
class SystemListHost
{
public:
    virtual ~SystemListHost() = default;
    virtual int currentSystemIndex() const = 0;
    virtual int lastSystemIndex() const = 0;
    virtual void OnSelChangeSystem() = 0;
    virtual void OnSetup() = 0;
    virtual void OnLaunchEmulator() = 0;
    virtual void ApplyListOperation(int operation) = 0;
};

// The system list: one 38-pixel card per system (icon, name on a coloured band, description
// below), in catalogue order, with the context menu of a system.
class SystemListBox : public ListBoxView
{
    Q_OBJECT

public:
    static constexpr int kItemHeight = 38;

    // The context menu's commands; each menu item carries its id as its data.
    enum Command : int {
        SetupSystemCommand = 40001,
        MoveUpCommand = 40003,
        MoveDownCommand = 40004,
        DeleteSystemCommand = 40005,
        LaunchEmuCommand = 40006,
    };

    explicit SystemListBox(QWidget *parent = nullptr);
    ~SystemListBox() override;

    void setHost(SystemListHost *host) { m_host = host; }

    // Shows the catalogue's entries (the list keeps a pointer; call again after every change).
    void setCatalogue(const marlit::CategoryCatalogue *catalogue);

    // The context menu for the host's current system, with its items greyed as they must be.
    // The caller owns the menu.
    QMenu *createContextMenu();

    // Asked before a system is deleted; answers true for Yes. Replaceable for tests.
    void setDeleteConfirmation(std::function<bool(QWidget *)> confirm) { m_confirmDelete = std::move(confirm); }

signals:
    // The current row changed by the user (mouse or keyboard), not programmatically.
    void systemSelectionChanged();
    void systemDoubleClicked();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    // Shows the menu at a screen position and gives the item chosen, or nullptr.
    virtual QAction *execMenu(QMenu &menu, const QPoint &globalPos);

private:
    void runCommand(int commandId);
    bool hasCurrentSystem() const;

    SystemListHost *m_host = nullptr;
    SystemListModel *m_model = nullptr;
    SystemCardDelegate *m_delegate = nullptr;
    std::function<bool(QWidget *)> m_confirmDelete;
};
