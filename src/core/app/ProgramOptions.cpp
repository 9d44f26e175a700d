#include "core/app/ProgramOptions.h"

namespace marlit {

ProgramOptions::Request ProgramOptions::parse(int argc, const char *const *argv)
{
    Request request;
    constexpr std::string_view kWorkspace = "--workspace";
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help" || argument == "--version") {
            if (request.action != Action::PrintHelp && request.action != Action::PrintVersion)
                request.action = argument == "--help" ? Action::PrintHelp : Action::PrintVersion;
            continue;
        }
        if (argument == "--tv") {
            request.tvMode = true;
            continue;
        }
        std::optional<std::string_view> folder;
        if (argument == kWorkspace) {
            if (i + 1 < argc && argv[i + 1])
                folder = argv[++i];
        } else if (argument.substr(0, kWorkspace.size() + 1) == "--workspace=") {
            folder = argument.substr(kWorkspace.size() + 1);
        } else {
            continue;
        }
        if (request.action != Action::Run)
            continue;
        if (!folder || folder->empty()) {
            request.action = Action::Refuse;
            request.problem = "marlit: --workspace needs a folder\n";
        } else {
            request.workspace = std::string(*folder);
        }
    }
    return request;
}

std::string ProgramOptions::helpText()
{
    return "Usage: marlit [--workspace FOLDER] [--tv | --help | --version]\n"
           "\n"
           "Marlit, a fast desktop front-end for emulators, keeps the catalogues of its four\n"
           "categories (classic.ini, console.ini, handheld.ini, computer.ini) and its window\n"
           "options (marlit.cfg) in its workspace, and creates them when they are missing.\n"
           "The workspace is the current folder when it holds a catalogue, else\n"
           "$XDG_DATA_HOME/marlit (~/.local/share/marlit), the folder of the menu entry.\n"
           "\n"
           "  --workspace FOLDER  work in FOLDER, made when it is missing\n"
           "  --tv                start in TV Mode, full-screen, to be driven from the sofa\n"
           "  --help              print this text and end\n"
           "  --version           print the version and end\n"
           "\n"
           "Any other argument is ignored. See marlit(1).\n";
}

std::string ProgramOptions::versionText(std::string_view version)
{
    std::string text = "Marlit ";
    text += version;
    text += '\n';
    return text;
}

} // namespace marlit
