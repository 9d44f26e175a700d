#include "gui/pad/PadNavigator.h"

#include "gui/launch/EmulatorStarter.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QTabBar>
#include <QTreeView>
#include <QWidget>

using marlit::PadAction;

namespace {

using Clock = std::chrono::steady_clock;

// Posted, not sent: a key may open a modal dialog or a menu, whose own loop must not run inside
// the controller's handler. Posted events keep their order.
void postKey(QWidget *receiver, int key, Qt::KeyboardModifiers modifiers = {}, const QString &text = {})
{
    if (!receiver)
        return;
    QCoreApplication::postEvent(receiver, new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
    QCoreApplication::postEvent(receiver, new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
}

// Keys with Ctrl do what they do on a keyboard: the enabled action or shortcut of the receiver's
// window that has them, else the key itself goes to the receiver.
void postShortcutKey(QWidget *receiver, int key)
{
    if (!receiver)
        return;
    const QKeySequence keys(Qt::CTRL | key);
    for (QAction *action : receiver->window()->findChildren<QAction *>())
        if (action->shortcut() == keys && action->isEnabled()) {
            QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
            return;
        }
    for (QShortcut *shortcut : receiver->window()->findChildren<QShortcut *>())
        if (shortcut->key() == keys && shortcut->isEnabled()) {
            QMetaObject::invokeMethod(shortcut, &QShortcut::activated, Qt::QueuedConnection);
            return;
        }
    postKey(receiver, key, Qt::ControlModifier);
}

// The Menu key: to the widget first, as a key; when it does not take it, its context menu beside
// its current item, as the keyboard opens it. Sent, not posted, for the answer: neither opens a
// menu's own loop here.
void postMenuKey(QWidget *receiver)
{
    if (!receiver)
        return;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &press);
    if (press.isAccepted())
        return;
    const QPoint inside = receiver->rect().center();
    QCoreApplication::postEvent(
        receiver, new QContextMenuEvent(QContextMenuEvent::Keyboard, inside, receiver->mapToGlobal(inside)));
}

// With no ROM chosen yet, the first is: as Home would choose it.
void selectFirstIfNone(QWidget *list)
{
    if (const auto *view = qobject_cast<QAbstractItemView *>(list); view && !view->currentIndex().isValid())
        postKey(list, Qt::Key_Home);
}

// Whether the view's current item is its last (down) or its first (up) visible one.
bool atEdge(QWidget *widget, PadAction action)
{
    const auto *view = qobject_cast<QTreeView *>(widget);
    const auto *list = qobject_cast<QAbstractItemView *>(widget);
    if (!list)
        return false;
    const QModelIndex current = list->currentIndex();
    if (view)
        return !(action == PadAction::Down ? view->indexBelow(current) : view->indexAbove(current)).isValid();
    const int rows = list->model() ? list->model()->rowCount() : 0;
    return action == PadAction::Down ? current.row() >= rows - 1 : current.row() <= 0;
}

} // namespace

PadNavigator::PadNavigator(QWidget &window, EmulatorStarter &starter, marlit::ButtonChord endGame, QObject *parent)
    : QObject(parent), m_window(window), m_starter(starter), m_pad(std::move(endGame))
{
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, &PadNavigator::advance);
    connect(&starter, &EmulatorStarter::gameRunningChanged, this, &PadNavigator::gameRunningChanged);
}

void PadNavigator::buttonChanged(marlit::PadButton button, bool pressed)
{
    perform(pressed ? m_pad.press(button, Clock::now()) : m_pad.release(button, Clock::now()));
}

void PadNavigator::axisMoved(marlit::PadInterpreter::Axis axis, int value)
{
    perform(m_pad.moveAxis(axis, value, Clock::now()));
}

void PadNavigator::controllerRemoved()
{
    m_pad.reset();
    scheduleWake();
}

void PadNavigator::advance()
{
    perform(m_pad.advance(Clock::now()));
}

void PadNavigator::scheduleWake()
{
    const std::optional<Clock::time_point> next = m_pad.nextWake();
    if (!next) {
        m_wake.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
    m_wake.start(std::max(wait, std::chrono::milliseconds(0)));
}

void PadNavigator::gameRunningChanged(bool running)
{
    // What was held for the game, or while it started, means nothing to the window.
    m_pad.reset();
    scheduleWake();
    if (running) {
        m_beforeGame = QApplication::activeWindow();
        return;
    }
    // Later, so that a window closing (which ends the watches of running games) is not brought back.
    QTimer::singleShot(0, this, [this] {
        if (!m_starter.gameRunning())
            bringForward(m_beforeGame);
    });
}

void PadNavigator::perform(const std::vector<PadAction> &actions)
{
    for (const PadAction action : actions) {
        if (action == PadAction::EndGame) {
            m_starter.stop();
            continue;
        }
        if (m_starter.gameRunning())
            continue;
        QWidget *popup = QApplication::activePopupWidget();
        QWidget *active = QApplication::activeWindow();
        if (active)
            m_lastActive = active;
        if (popup) {
            performElsewhere(action, popup->focusWidget() ? popup->focusWidget() : popup);
        } else if (!active) {
            // Marlit is in the background: the first press brings it forward and does nothing else.
            bringForward(m_lastActive);
        } else if (active == m_window.window() && !QApplication::activeModalWidget() && desktopShown()) {
            performInWindow(action, QApplication::focusWidget());
        } else {
            performElsewhere(action, QApplication::focusWidget() ? QApplication::focusWidget() : active);
        }
    }
    scheduleWake();
}

void PadNavigator::bringForward(QWidget *window)
{
    // The window of the view in use (the window's, or TV Mode's full screen) when it is still shown.
    QWidget *target = window && window->isVisible() ? window : &m_window;
    if (!target->isVisible())
        return;
    target->raise();
    target->activateWindow();
}

bool PadNavigator::desktopShown() const
{
    const QWidget *romList = control("romList");
    return romList && romList->isVisible();
}

QWidget *PadNavigator::control(const char *objectName) const
{
    return m_window.findChild<QWidget *>(QString::fromLatin1(objectName));
}

void PadNavigator::focusRomList(QWidget *from)
{
    if (from && from != control("romList"))
        m_leftColumn = from;
    if (QWidget *romList = control("romList"))
        romList->setFocus(Qt::OtherFocusReason);
}

void PadNavigator::performInWindow(PadAction action, QWidget *focus)
{
    QWidget *romList = control("romList");
    QWidget *systemList = control("systemList");
    const bool inLeftColumn =
        focus && (focus == systemList || focus == control("folderTree") || focus == control("categoryTabs"));
    const auto backToLeftColumn = [&] {
        QWidget *left = m_leftColumn ? m_leftColumn.data() : systemList;
        if (left)
            left->setFocus(Qt::OtherFocusReason);
    };
    QWidget *folderTree = control("folderTree");
    switch (action) {
    case PadAction::Up:
    case PadAction::Down:
        // The left column is one column: down past the last system goes on into the folder tree,
        // up past the tree's first item back to the systems.
        if (action == PadAction::Down && focus == systemList && folderTree && atEdge(systemList, action))
            folderTree->setFocus(Qt::OtherFocusReason);
        else if (action == PadAction::Up && focus == folderTree && systemList && atEdge(folderTree, action))
            systemList->setFocus(Qt::OtherFocusReason);
        else
            postKey(focus, action == PadAction::Up ? Qt::Key_Up : Qt::Key_Down);
        return;
    case PadAction::Right:
        if (inLeftColumn)
            focusRomList(focus);
        else
            postKey(focus, Qt::Key_Right);
        return;
    case PadAction::Left:
        if (focus == romList)
            backToLeftColumn();
        else
            postKey(focus, Qt::Key_Left);
        return;
    case PadAction::Back:
        if (focus == romList)
            backToLeftColumn();
        else
            focusRomList(nullptr);
        return;
    case PadAction::Confirm:
        if (inLeftColumn) {
            focusRomList(focus);
        } else if (focus == romList && romList) {
            selectFirstIfNone(romList);
            postKey(romList, Qt::Key_Return, {}, QStringLiteral("\r"));
        } else {
            performElsewhere(action, focus);
        }
        return;
    case PadAction::PreviousSystem:
    case PadAction::NextSystem:
        postKey(systemList, action == PadAction::PreviousSystem ? Qt::Key_Up : Qt::Key_Down);
        return;
    case PadAction::PreviousCategory:
    case PadAction::NextCategory:
        postKey(control("categoryTabs"), action == PadAction::PreviousCategory ? Qt::Key_Left : Qt::Key_Right);
        return;
    case PadAction::Menu:
        if (romList) {
            romList->setFocus(Qt::OtherFocusReason);
            selectFirstIfNone(romList);
            postMenuKey(romList);
        }
        return;
    default:
        performElsewhere(action, focus);
        return;
    }
}

void PadNavigator::performElsewhere(PadAction action, QWidget *receiver)
{
    switch (action) {
    case PadAction::Up:
        return postKey(receiver, Qt::Key_Up);
    case PadAction::Down:
        return postKey(receiver, Qt::Key_Down);
    case PadAction::Left:
        return postKey(receiver, Qt::Key_Left);
    case PadAction::Right:
        return postKey(receiver, Qt::Key_Right);
    case PadAction::Confirm:
        // Space presses the focused button or ticks the box; Enter answers with the default button.
        if (qobject_cast<QAbstractButton *>(receiver))
            return postKey(receiver, Qt::Key_Space, {}, QStringLiteral(" "));
        return postKey(receiver, Qt::Key_Return, {}, QStringLiteral("\r"));
    case PadAction::Back:
        return postKey(receiver, Qt::Key_Escape);
    case PadAction::Favourite:
        return postShortcutKey(receiver, Qt::Key_D);
    case PadAction::Search:
        return postShortcutKey(receiver, Qt::Key_F);
    case PadAction::PreviousSystem:
    case PadAction::NextSystem: {
        // A dialog's controls are stepped through with Tab; a view's items a page at a time.
        const bool previous = action == PadAction::PreviousSystem;
        if (receiver && qobject_cast<QDialog *>(receiver->window()))
            return postKey(receiver, previous ? Qt::Key_Backtab : Qt::Key_Tab,
                           previous ? Qt::ShiftModifier : Qt::NoModifier);
        return postKey(receiver, previous ? Qt::Key_PageUp : Qt::Key_PageDown);
    }
    case PadAction::PreviousCategory:
        return postKey(receiver, Qt::Key_PageUp, Qt::ControlModifier);
    case PadAction::NextCategory:
        return postKey(receiver, Qt::Key_PageDown, Qt::ControlModifier);
    case PadAction::Menu:
        if (qobject_cast<QMenu *>(receiver))
            return postKey(receiver, Qt::Key_Escape);
        return postMenuKey(receiver);
    case PadAction::EndGame:
        return;
    }
}
