#include "core/app/ProgramOptions.h"

namespace marlit {

ProgramOptions::Action ProgramOptions::parse(int argc, const char *const *argv)
{
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help")
            return Action::PrintHelp;
        if (argument == "--version")
            return Action::PrintVersion;
    }
    return Action::Run;
}

bool ProgramOptions::startsInTvMode(int argc, const char *const *argv)
{
    for (int i = 1; i < argc && argv[i]; ++i)
        if (std::string_view(argv[i]) == "--tv")
            return true;
    return false;
}

std::string ProgramOptions::helpText()
{
    return "Usage: marlit [--tv | --help | --version]\n"
           "\n"
           "Marlit, a fast desktop front-end for emulators, works in the current folder: the\n"
           "catalogues of its four categories (classic.ini, console.ini, handheld.ini,\n"
           "computer.ini) and its window options (marlit.cfg) are read there, and created\n"
           "when they are missing.\n"
           "\n"
           "  --tv       start in TV Mode, full-screen, to be driven from the sofa\n"
           "  --help     print this text and end\n"
           "  --version  print the version and end\n"
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
