#include "gui/ui/SystemListBox.h"

#include "gui/text/BoundedText.h"
#include "gui/ui/SystemCardDelegate.h"
#include "gui/ui/SystemListModel.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>

#include <memory>

namespace {

bool askDeleteConfirmation(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Marlit"), question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    // A system's name is shown as it is written, never read as markup.
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

QAction *addCommand(QMenu &menu, const QString &text, SystemListBox::Command id, const char *objectName)
{
    QAction *action = menu.addAction(text);
    action->setData(static_cast<int>(id));
    action->setObjectName(QLatin1String(objectName));
    return action;
}

} // namespace

SystemListBox::SystemListBox(QWidget *parent)
    : ListBoxView(parent), m_model(new SystemListModel(this)), m_delegate(new SystemCardDelegate(logicalDpiY(), this)),
      m_confirmDelete(askDeleteConfirmation)
{
    setItemDelegate(m_delegate);
    setModel(m_model);
    connect(this, &ListBoxView::selectionChangedByUser, this, &SystemListBox::systemSelectionChanged);
    connect(this, &ListBoxView::rowDoubleClicked, this, &SystemListBox::systemDoubleClicked);
}

SystemListBox::~SystemListBox() = default;

void SystemListBox::setCatalogue(const marlit::CategoryCatalogue &catalogue)
{
    changeQuietly([&] {
        m_delegate->clearIconCache();
        m_model->setCatalogue(catalogue);
    });
}

void SystemListBox::setWorkFolder(const std::string &folder)
{
    m_delegate->setWorkFolder(folder);
    viewport()->update();
}

int SystemListBox::lastRow() const
{
    return m_model->rowCount() - 1;
}

bool SystemListBox::hasCurrentSystem() const
{
    const int current = currentRow();
    return current >= 0 && current <= lastRow();
}

std::unique_ptr<QMenu> SystemListBox::createContextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    QAction *setup = addCommand(*menu, QStringLiteral("Setup System"), SetupSystemCommand, "setupSystemAction");
    QAction *launch = addCommand(*menu, QStringLiteral("Launch Emu"), LaunchEmuCommand, "launchEmuAction");
    menu->addSeparator();
    addCommand(*menu, QStringLiteral("Add System..."), AddSystemCommand, "addSystemAction");
    menu->addSeparator();
    QAction *moveUp = addCommand(*menu, QStringLiteral("Move Up"), MoveUpCommand, "moveUpAction");
    QAction *moveDown = addCommand(*menu, QStringLiteral("Move Down"), MoveDownCommand, "moveDownAction");
    menu->addSeparator();
    QAction *remove = addCommand(*menu, QStringLiteral("Delete System"), DeleteSystemCommand, "deleteSystemAction");
    menu->addSeparator();
    addCommand(*menu, QStringLiteral("TV Mode"), TvModeCommand, "tvModeAction");

    // No command may act on a system that is not there (an empty list, or no current row); in
    // an empty list "Setup System" adds the first one.
    const bool present = hasCurrentSystem();
    const int current = currentRow();
    setup->setEnabled(present || m_model->rowCount() == 0);
    launch->setEnabled(present);
    moveUp->setEnabled(present && current != 0);
    moveDown->setEnabled(present && current != lastRow());
    remove->setEnabled(present);
    return menu;
}

void SystemListBox::contextMenuEvent(QContextMenuEvent *event)
{
    QPoint globalPos = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        // The menu acts on the system under the cursor: make it the current one first, as a
        // click would, so that the window shows it before the menu opens.
        const QModelIndex index = indexAt(event->pos());
        if (index.isValid() && index.row() != currentRow()) {
            setCurrentRow(index.row());
            emit systemSelectionChanged();
        }
    } else {
        // From the keyboard there is no cursor position: open beside the current row.
        const QModelIndex current = m_model->index(currentRow(), 0);
        globalPos = current.isValid() ? viewport()->mapToGlobal(visualRect(current).bottomLeft())
                                      : viewport()->mapToGlobal(QPoint(0, 0));
    }

    const std::unique_ptr<QMenu> menu = createContextMenu();
    if (QAction *chosen = execMenu(*menu, globalPos))
        runCommand(chosen->data().toInt());
    event->accept();
}

QAction *SystemListBox::execMenu(QMenu &menu, const QPoint &globalPos)
{
    return menu.exec(globalPos);
}

QString SystemListBox::deleteQuestion(int row) const
{
    const marlit::SystemEntry *entry = m_model->entryAt(row);
    return QStringLiteral("Are you sure you want to delete the system \"%1\"?")
        .arg(entry ? neutralised(boundedText(entry->name)) : QString());
}

void SystemListBox::keyboardSearch(const QString &)
{
    // The cards hold no text to search: a stray letter must not switch the system and reload
    // everything.
}

void SystemListBox::runCommand(int commandId)
{
    // The menu greys what cannot be done; the same rules hold here whatever asks.
    if (commandId == TvModeCommand) {
        emit tvModeRequested();
        return;
    }
    if (commandId == SetupSystemCommand && m_model->rowCount() == 0) {
        emit setupRequested();
        return;
    }
    if (commandId == AddSystemCommand) {
        emit addSystemRequested();
        return;
    }
    if (!hasCurrentSystem())
        return;
    const int current = currentRow();
    switch (commandId) {
    case SetupSystemCommand:
        emit setupRequested();
        break;
    case LaunchEmuCommand:
        emit launchEmulatorRequested();
        break;
    case MoveUpCommand:
        if (current != 0)
            emit listOperationRequested(marlit::ListOperation::MoveUp);
        break;
    case MoveDownCommand:
        if (current != lastRow())
            emit listOperationRequested(marlit::ListOperation::MoveDown);
        break;
    case DeleteSystemCommand:
        if (m_confirmDelete && m_confirmDelete(this, deleteQuestion(current)))
            emit listOperationRequested(marlit::ListOperation::Delete);
        break;
    default:
        break;
    }
}
