#pragma once

#include "core/fs/RegularFile.h"
#include "core/metadata/GameList.h"

#include <string>
#include <string_view>

namespace marlit {

// Reads the "gamelist.xml" of the EmulationStation family: a <gameList> element (beside which
// some versions write an <alternativeEmulator> element at the top level) holding one <game> per
// ROM with <path>, <name>, <desc>, <releasedate> (19910623T000000), <developer>, <publisher>,
// <genre>, <players>, <rating> (0 to 1), <playcount>, <lastplayed>, <favorite> and picture paths
// (<image>, <thumbnail>, <marquee>, ...). Paths are read from romFolder (ending with the
// separator), "~/" from home.
//
// The parser never fetches or expands anything outside the bytes: a DOCTYPE's entities stay
// unexpanded text. A file that breaks off or goes wrong gives the games before the fault and
// says where in problem.
//
// The bytes are parsed in place and held by the list that is made: its games' text points into
// them, where copying each field of each game would cost several times the file's own read. A
// big list is parsed a piece of games at a time, so that the parser's nodes stay in the
// processor's cache; it reads exactly as the whole.
class GamelistXml
{
public:
    static GameList read(std::string bytes, const std::string &romFolder, const std::string &home);
    // The file's bytes, read whole (what cannot be read is said in the list's problem).
    static GameList read(const RegularFile &file, const std::string &romFolder, const std::string &home);
};

} // namespace marlit
