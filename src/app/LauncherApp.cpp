#include "app/LauncherApp.h"

#include "ui/MainFrame.h"

#include <QLoggingCategory>

LauncherApp::LauncherApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Marlit"));
    setApplicationDisplayName(QString());
    // A picture decode that a newer selection makes stale is cut off in the middle of its file,
    // and the image readers complain about that on every key press while scrolling. A picture
    // that cannot be read simply draws nothing, so their messages are not shown by default
    // (QT_LOGGING_RULES still brings them back).
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.warning=false"));
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
