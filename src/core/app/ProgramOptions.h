#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marlit {

// What the command line asks for. "--help" and "--version" print a text and end the program
// before it touches any file; "--workspace DIR" (or "--workspace=DIR") names the folder to work
// in; "--tv" starts in TV Mode; every other argument, the toolkit's own included, is ignored.
class ProgramOptions
{
public:
    enum class Action { Run, PrintHelp, PrintVersion, Refuse };

    struct Request
    {
        Action action = Action::Run;
        std::optional<std::string> workspace;
        bool tvMode = false;
        // With Refuse: what is wrong, for standard error.
        std::string problem;
    };

    // argv[0] is the program. "--help" and "--version" win over everything else.
    static Request parse(int argc, const char *const *argv);

    static std::string helpText();
    static std::string versionText(std::string_view version);
};

} // namespace marlit
