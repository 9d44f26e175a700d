#pragma once

#include <string>

// The icons Marlit draws for the systems it adds from its table of emulators, one per category
// (an arcade cabinet, a gamepad, a pocket console, a computer). A catalogue names icon files, so
// each is written into the workspace's "icons" folder the first time a system needs it; a file
// already there is the user's to change and is left as it is.
class PresetIcons
{
public:
    // The icon file of category (0 to 3) in workFolder ("" for the working directory, else
    // ending with the separator), as an absolute path; empty when it cannot be written.
    static std::string fileFor(int category, const std::string &workFolder);
};
