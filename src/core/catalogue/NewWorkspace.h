#pragma once

#include "core/fs/SafeFile.h"

#include <string>
#include <string_view>

namespace marlit {

// Whether a workspace is new, for the offer of the emulators found at its first start, and
// whether that offer was made there already: the file kOfferedFileName in the workspace says so.
class NewWorkspace
{
public:
    static constexpr std::string_view kOfferedFileName = "marlit.offered";

    // True when the four catalogue files in folder (empty: the working directory) can be read
    // and hold no system but blank ones, none at all counting as well.
    static bool holdsOnlyBlankSystems(const std::string &folder);

    static bool wasOffered(const std::string &folder);
    // Leaves the file that says the offer was made (a short note to the user who finds it).
    static WriteResult markOffered(const std::string &folder);
};

} // namespace marlit
