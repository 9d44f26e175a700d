#include "gui/app/LauncherApp.h"

int main(int argc, char **argv)
{
    // Marlit takes no options: Qt's own arguments are consumed by QApplication, the rest ignored.
    LauncherApp app(argc, argv);
    return app.run();
}
