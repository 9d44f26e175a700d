#include "gui/app/LauncherApp.h"

#include "gui/app/KeyRepeatFilter.h"

#include "gui/launch/EmulatorStarter.h"
#include "gui/pad/PadControl.h"
#include "gui/pad/SdlGamepads.h"
#include "gui/tv/TvMode.h"
#include "gui/ui/MainFrame.h"

#include <QFile>

#include <cstdlib>

namespace {

// The command line the toolkit is given: the program's name alone. The toolkit keeps argc and
// argv for the application's whole life, so they live as long as the program.
struct ProgramNameOnly
{
    int argc = 0;
    char *argv[2] = {nullptr, nullptr};
};

ProgramNameOnly &programNameOnly(char *programName)
{
    static ProgramNameOnly arguments;
    arguments.argc = programName ? 1 : 0;
    arguments.argv[0] = programName;
    return arguments;
}

} // namespace

LauncherApp::LauncherApp(char *programName)
    : QApplication(programNameOnly(programName).argc, programNameOnly(programName).argv)
{
    setApplicationName(QStringLiteral("Marlit"));
    setApplicationDisplayName(QString());
    // The menu entry's name: desktops match the windows to the entry, and so to its icon, by it.
    setDesktopFileName(QStringLiteral(MARLIT_APP_ID));
    // The title bars, the task bar and the window switcher show it, for the dialogs too.
    setWindowIcon(applicationIcon());
    installEventFilter(new KeyRepeatFilter(this));
}

int LauncherApp::run(const std::string &workspace, bool tvMode)
{
    MainFrame frame;
    if (!workspace.empty())
        frame.setWindowTitle(QStringLiteral("Marlit \u2014 %1").arg(QFile::decodeName(workspace.c_str())));
    TvMode tv(frame);
    // Automation names a FIFO here; its lines are performed by a virtual controller.
    const char *virtualPad = std::getenv("MARLIT_VIRTUAL_PAD");
    PadControl pads(frame, frame.emulatorStarter(), {}, virtualPad ? virtualPad : "");
    connect(&tv, &TvMode::stopGameRequested, &frame.emulatorStarter(), &EmulatorStarter::stop);
    // A controller says the sofa: the TV view is made ready for its entry.
    connect(&pads.gamepads(), &SdlGamepads::controllerAdded, &tv, &TvMode::prepare);
    if (tvMode)
        tv.enter();
    else
        frame.show();
    exec();
    // A normal close is a success, whatever way the window was closed.
    frame.writeSettings();
    return 0;
}

QIcon LauncherApp::applicationIcon()
{
    QIcon drawn(QStringLiteral(":/marlit/marlit.svg"));
    if (!drawn.pixmap(32, 32).isNull())
        return drawn;
    return QIcon::fromTheme(QStringLiteral(MARLIT_APP_ID));
}
