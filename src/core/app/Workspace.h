#pragma once

#include <functional>
#include <optional>
#include <string>

namespace marlit {

// The folder Marlit keeps its files in. A folder that already holds a catalogue is a collection
// the user keeps there; anywhere else (a home folder, say) a terminal start works where the menu
// entry does, so that there is one set-up, not one per folder Marlit happened to be typed in.
class Workspace
{
public:
    struct Choice
    {
        std::string folder;
        // True when Marlit chose the folder itself: the window says where it works.
        bool chosenByProgram = false;
    };

    // requested: --workspace's folder, if given. currentFolder: where Marlit was started.
    // environment: getenv's answer for a name (nullptr when unset). Nothing when no folder
    // can be named (no HOME and no absolute XDG_DATA_HOME).
    static std::optional<Choice> choose(const std::optional<std::string> &requested, const std::string &currentFolder,
                                        const std::function<const char *(const char *)> &environment);

    // $XDG_DATA_HOME/marlit when that is absolute, else $HOME/.local/share/marlit.
    static std::optional<std::string> dataHomeFolder(const std::function<const char *(const char *)> &environment);

    // True when one of the four catalogue files exists in folder.
    static bool holdsCatalogue(const std::string &folder);

    // Makes folder (and missing parents, private as XDG asks) and makes it the working directory.
    // The errno of the step that failed, or 0.
    static int enter(const std::string &folder);

    // folder as the window shows it: the home folder written "~".
    static std::string shownName(const std::string &folder, const char *home);
};

} // namespace marlit
