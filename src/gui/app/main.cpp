#include "gui/app/LauncherApp.h"

#include <csignal>

int main(int argc, char **argv)
{
    // A write to a closed pipe (standard error of a terminal that has gone, say) fails with EPIPE
    // instead of ending Marlit before it saves its settings. Emulators start with the default.
    std::signal(SIGPIPE, SIG_IGN);
    // Marlit takes no options: Qt's own arguments are consumed by QApplication, the rest ignored.
    LauncherApp app(argc, argv);
    return app.run();
}
