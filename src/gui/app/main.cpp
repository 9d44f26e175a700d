#include "core/app/ProgramOptions.h"
#include "core/app/Workspace.h"
#include "core/fs/WorkingDirectory.h"
#include "gui/app/LauncherApp.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// 0 once the whole text is out, 1 when it could not be written.
int print(const std::string &text, std::FILE *stream = stdout)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    return std::fflush(stream) == 0 && written ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // A write to a closed pipe (standard error of a terminal that has gone, say) fails with EPIPE
    // instead of ending Marlit before it saves its settings. Emulators start with the default.
    std::signal(SIGPIPE, SIG_IGN);
    // Answered before anything else runs: no window, no file in the working folder.
    const marlit::ProgramOptions::Request request = marlit::ProgramOptions::parse(argc, argv);
    switch (request.action) {
    case marlit::ProgramOptions::Action::PrintHelp:
        return print(marlit::ProgramOptions::helpText());
    case marlit::ProgramOptions::Action::PrintVersion:
        return print(marlit::ProgramOptions::versionText(MARLIT_VERSION));
    case marlit::ProgramOptions::Action::Refuse:
        print(request.problem, stderr);
        return 2;
    case marlit::ProgramOptions::Action::Run:
        break;
    }
    const auto environment = [](const char *name) { return static_cast<const char *>(std::getenv(name)); };
    const std::optional<marlit::Workspace::Choice> workspace =
        marlit::Workspace::choose(request.workspace, marlit::currentDirectory().value_or("."), environment);
    // Without HOME and an absolute XDG_DATA_HOME there is no other folder to name: the current one.
    std::string shownWorkspace;
    if (workspace) {
        if (const int error = marlit::Workspace::enter(workspace->folder)) {
            print("marlit: cannot work in " + workspace->folder + ": " + std::strerror(error) + "\n", stderr);
            return 1;
        }
        if (workspace->chosenByProgram)
            shownWorkspace = marlit::Workspace::shownName(workspace->folder, std::getenv("HOME"));
    }
    // The toolkit is given the program's name alone, so that its own options (-reverse, -style,
    // -qwindowtitle...) change nothing either.
    LauncherApp app(argc > 0 ? argv[0] : nullptr);
    return app.run(shownWorkspace, request.tvMode);
}
