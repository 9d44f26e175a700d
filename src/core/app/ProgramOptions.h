#pragma once

#include <string>
#include <string_view>

namespace marlit {

// What the command line asks for. Marlit works on its folder's files and takes one option,
// "--tv", which starts it in TV Mode; "--help" and "--version" print a text and end the program
// before it touches any file; every other argument, the toolkit's own included, is ignored.
class ProgramOptions
{
public:
    enum class Action { Run, PrintHelp, PrintVersion };

    // The first of "--help" and "--version" among the arguments (argv[0] is the program).
    static Action parse(int argc, const char *const *argv);
    // Whether "--tv" is among the arguments.
    static bool startsInTvMode(int argc, const char *const *argv);

    static std::string helpText();
    static std::string versionText(std::string_view version);
};

} // namespace marlit
