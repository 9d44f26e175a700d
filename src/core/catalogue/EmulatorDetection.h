#pragma once

#include "core/catalogue/EmulatorPreset.h"
#include "core/catalogue/SystemPreset.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// Which known emulators this computer has, found without starting any program: a look-up of
// their programs on PATH, of their Flatpak applications in the Flatpak installations' folders,
// and of the files they need. Reads the file system only; may be slow, so not on the UI thread.
class EmulatorDetection
{
public:
    struct Environment
    {
        std::string searchPath;                     // as PATH: folders separated by ":"
        std::vector<std::string> flatpakAppFolders; // where installed Flatpak applications are, each ending with "/"

        // This process's: its PATH followed by Debian's games folders where PATH lacks them (Debian
        // installs most emulators there, and not every session puts them on PATH); the system's
        // Flatpak installation, then the user's under $XDG_DATA_HOME (by default ~/.local/share).
        static Environment ofThisProcess();
    };

    // Every system of every emulator of the table: those whose emulator and files are here
    // first, then the others, each group in the table's order.
    //
    // An emulator found as a program is started as that program's full path with its parameters.
    // One found only as a Flatpak (and only when the flatpak program is on the search path) is
    // started as flatpak's full path with "run ID" and its Flatpak parameters, the ROM after them.
    // A system's own parameters, Flatpak parameters and extensions replace its emulator's; its
    // files are needed besides the emulator's.
    static std::vector<SystemPreset> systems(const std::vector<EmulatorPreset> &emulators,
                                             const Environment &environment);

    // The same in two steps, so that the programs are looked for where a folder that never
    // answers holds up no thread of the window's (the folder readers): first, which names each
    // folder is asked for, folders in the order of the search path, each ending with "/"; then
    // the systems, a program being found where executables (full paths) holds it.
    struct Lookup
    {
        std::string folder;
        std::vector<std::string> names;

        bool operator==(const Lookup &) const = default;
    };
    static std::vector<Lookup> lookups(const std::vector<EmulatorPreset> &emulators, const Environment &environment);
    static std::vector<SystemPreset> systems(const std::vector<EmulatorPreset> &emulators,
                                             const Environment &environment, const std::set<std::string> &executables);

    // The full path of the first executable file named program in the folders of searchPath;
    // a program given with a "/" is taken as it is, when absolute. Folders that are not absolute
    // are passed over: a record keeps a path that holds wherever the emulator is started from.
    static std::optional<std::string> findProgram(std::string_view program, std::string_view searchPath);

private:
    static std::vector<SystemPreset> systemsWith(const std::vector<EmulatorPreset> &emulators,
                                                 const Environment &environment,
                                                 const std::function<bool(const std::string &)> &isExecutable);
};

} // namespace marlit
