#include "core/app/ProgramOptions.h"
#include "gui/app/LauncherApp.h"

#include <csignal>
#include <cstdio>
#include <string>

namespace {

// 0 once the whole text is out, 1 when it could not be written.
int print(const std::string &text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return std::fflush(stdout) == 0 && written ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // A write to a closed pipe (standard error of a terminal that has gone, say) fails with EPIPE
    // instead of ending Marlit before it saves its settings. Emulators start with the default.
    std::signal(SIGPIPE, SIG_IGN);
    // Answered before anything else runs: no window, no file in the working folder.
    switch (marlit::ProgramOptions::parse(argc, argv)) {
    case marlit::ProgramOptions::Action::PrintHelp:
        return print(marlit::ProgramOptions::helpText());
    case marlit::ProgramOptions::Action::PrintVersion:
        return print(marlit::ProgramOptions::versionText(MARLIT_VERSION));
    case marlit::ProgramOptions::Action::Run:
        break;
    }
    // The toolkit is given the program's name alone, so that its own options (-reverse, -style,
    // -qwindowtitle...) change nothing either.
    LauncherApp app(argc > 0 ? argv[0] : nullptr);
    return app.run(marlit::ProgramOptions::startsInTvMode(argc, argv));
}
