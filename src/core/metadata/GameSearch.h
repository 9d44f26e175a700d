#pragma once

#include "core/browse/RomNames.h"
#include "core/browse/RomSearch.h"

#include <string>

namespace marlit {

struct GameCollection;

// The search row over a described system: a ROM is found by its file name or by the title its
// game list gives it. "Search For" keeps a ROM when either matches; "Filter Out" drops it when
// either holds the text. The folder readers know file names only, so a described system's folder
// is listed whole and narrowed here.
class GameSearch
{
public:
    // The search the folder readers apply: none when games describe the folder's ROMs, since
    // a ROM whose file name does not match may still have a title that does.
    static RomSearch forReaders(const RomSearch &search, const GameCollection *games);

    // names (of the ROMs in folder, ending with the separator) that search keeps by file name or
    // title, in the order given. Names the readers narrowed already come through as they are.
    // The system's own files that are no games are left out, searched for or not: its game
    // lists, the pictures they name, and the pictures of its media folders seen from above them
    // (in "All Games"; a look into a media folder itself shows what it holds).
    static RomNames filtered(RomNames names, const std::string &folder, const GameCollection *games,
                             const RomSearch &search);
};

} // namespace marlit
