#pragma once

#include <QApplication>

// The application object: creates the one main window, runs the event loop and ends with
// status 0 after a normal close.
class LauncherApp : public QApplication
{
    Q_OBJECT

public:
    LauncherApp(int &argc, char **argv);

    // Creates and shows the main window, runs the event loop, returns the exit status.
    int run();
};
