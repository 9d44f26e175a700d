#pragma once

#include <string_view>

namespace marlit {

// A game file's name as the ROM list shows it: the title, without the extension, and the tags of
// the usual naming conventions after it ("(USA)", "(Rev 1)", "[!]", "(Disc 2)"), which the row
// shows dimmed. "Super Mario Bros. (USA) (Rev 1).nes" is the title "Super Mario Bros." and the
// tags "(USA) (Rev 1)". A name without tags is all title; a name that is all tags keeps them as
// its title, so no row is ever blank. A name with a sub-folder before it is titled by its last part.
struct GameTitle
{
    std::string_view title;
    std::string_view tags; // empty when there are none

    static GameTitle of(std::string_view fileName);
};

} // namespace marlit
