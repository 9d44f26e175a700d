#pragma once

#include <QApplication>
#include <QIcon>

#include <string>

// The application object: creates the one main window, runs the event loop and ends with
// status 0 after a normal close. Every window of the program shows Marlit's icon.
class LauncherApp : public QApplication
{
    Q_OBJECT

public:
    // programName: argv[0]. No other argument reaches the toolkit, so none has an effect.
    explicit LauncherApp(char *programName);

    // Creates and shows the main window (in TV Mode when tvMode is set), runs the event loop,
    // returns the exit status. workspace: the folder Marlit chose to work in, named in the
    // title; empty for the folder the user started it in or named.
    int run(const std::string &workspace = {}, bool tvMode = false);

    // Marlit's icon, drawn from the program's own resource; the installed theme icon when the
    // drawing cannot be rendered (no SVG support in this Qt).
    static QIcon applicationIcon();
};
