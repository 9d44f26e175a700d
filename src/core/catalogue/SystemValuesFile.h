#pragma once

#include "core/catalogue/CategoryCatalogue.h"
#include "core/fs/SafeFile.h"

#include <string>
#include <string_view>

namespace marlit {

// The values file of a category ("console.values" beside "console.ini"): the SystemValues of its
// systems, one block per system that has any. A block names the record it belongs to by that
// record's nine values as the catalogue file holds them, and its row:
//
//   [system]
//   ROW = 2
//   NAME = Sony
//   DESC = PlayStation
//   ...                      (ROMDIR, EMU, COMMAND LINE, ICON, SNAPADIR, SNAPBDIR, SNAPSHOT)
//   file-types = *.cue *.m3u
//
// The catalogue may have been edited by hand since: a block goes to the record that is still the
// same (the nearest to its row among equals), else to the one record that differs from it in at
// most two values (a rename, a new folder) and is not blank. A block that fits no record, or two
// records alike, goes to none, so a value never lands on another system; it is dropped at the
// next write.
class SystemValuesFile
{
public:
    // The values file that belongs to a catalogue file.
    static std::string pathFor(const std::string &cataloguePath);

    static std::string serialize(const CategoryCatalogue &catalogue);
    // Gives the systems of catalogue their values from bytes; values they had are replaced.
    static void attach(std::string_view bytes, CategoryCatalogue &catalogue);

    // attach() from the catalogue's values file; a missing or unreadable file gives no values.
    static void load(const std::string &cataloguePath, CategoryCatalogue &catalogue);
    // Writes the values of catalogue safely. Writes nothing when no system has a value and there
    // is no file yet.
    static WriteResult save(const std::string &cataloguePath, const CategoryCatalogue &catalogue);
};

} // namespace marlit
