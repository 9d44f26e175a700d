#pragma once

#include "core/pad/PadInterpreter.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class EmulatorStarter;
class QKeySequence;
class QWidget;

// Drives the program from a game controller by what the keyboard already does: each button
// becomes the key event (or the shortcut) a keyboard user would press, delivered where the
// keyboard's would go, so dialogs, menus and the views need no code of their own. In the main
// window, where a key has no such meaning, it moves the focus between the lists itself:
//
//   D-pad, left stick   arrows, with delay and repeat; right/left move between the lists, and
//                       down past the last system into the folder tree (up back out of it)
//   a                   Enter (Space on a button or a check box); in the window: play
//   b                   Escape; in the window: back to the left column
//   x, y                Ctrl+F (search), Ctrl+D (favourite)
//   start               the Menu key (the selected ROM's menu); closes an open menu
//   shoulders           previous/next system; elsewhere Page Up/Down, in a dialog Shift+Tab/Tab
//   triggers            previous/next category tab; elsewhere Ctrl+Page Up/Down
//
// Anywhere else (a dialog, a menu, another view of the window) each button is its key alone.
//
// While a game runs the controller belongs to the game: only the end-game combination acts, and
// when the game has ended the window comes forward again.
class PadNavigator : public QObject
{
    Q_OBJECT

public:
    PadNavigator(QWidget &window, EmulatorStarter &starter, marlit::ButtonChord endGame, QObject *parent = nullptr);

public slots:
    void buttonChanged(marlit::PadButton button, bool pressed);
    void axisMoved(marlit::PadInterpreter::Axis axis, int value);
    // A controller went away: nothing of it is held any more.
    void controllerRemoved();

private:
    void perform(const std::vector<marlit::PadAction> &actions);
    void performInWindow(marlit::PadAction action, QWidget *focus);
    void performElsewhere(marlit::PadAction action, QWidget *receiver);
    void advance();
    void scheduleWake();
    void gameRunningChanged(bool running);
    QWidget *control(const char *objectName) const;
    // Whether the window shows its lists: another view in it gets the plain keys.
    bool desktopShown() const;
    void focusRomList(QWidget *from);

    QWidget &m_window;
    EmulatorStarter &m_starter;
    marlit::PadInterpreter m_pad;
    QTimer m_wake;
    void bringForward(QWidget *window);

    QPointer<QWidget> m_leftColumn; // where "back" returns to from the ROM list
    QPointer<QWidget> m_lastActive; // the window the pad last acted in
    QPointer<QWidget> m_beforeGame; // the window active when the game started
};
