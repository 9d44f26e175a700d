#include "gui/app/LauncherApp.h"

#include "gui/ui/MainFrame.h"

LauncherApp::LauncherApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Marlit"));
    setApplicationDisplayName(QString());
}

int LauncherApp::run()
{
    MainFrame frame;
    frame.show();
    exec();
    // A normal close is a success, whatever way the window was closed.
    frame.writeSettings();
    return 0;
}
