#include "app/LauncherApp.h"

#include <QWidget>

LauncherApp::LauncherApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Marlit"));
}

int LauncherApp::run()
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Marlit"));
    window.show();
    exec();
    return 0;
}
