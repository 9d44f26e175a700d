#pragma once

#include "core/catalogue/CategoryCatalogue.h"
#include "core/fs/SafeFile.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace marlit {

// A catalogue and the stamp of the file state it was read from (none: there was no file).
struct StampedCatalogue
{
    CategoryCatalogue catalogue;
    std::optional<FileStamp> stamp;
};

// The content of a newly created catalogue file: one record with every value empty.
inline constexpr std::string_view CatalogueTemplate =
    "NAME = \r\nDESC = \r\nROMDIR = \r\nEMU = \r\nCOMMAND LINE = \r\nICON = \r\n"
    "SNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";

// Catalogue files: records read by position (one value per "=", key names never looked at),
// written in the canonical ten-line CR LF layout.
class CatalogueFile
{
public:
    static CategoryCatalogue parse(std::string_view bytes);
    static std::string serialize(const CategoryCatalogue &catalogue);

    // The catalogue in the file, each system with its values from the values file beside it
    // (SystemValuesFile); empty when the file cannot be read.
    static CategoryCatalogue load(const std::string &path);
    static StampedCatalogue loadStamped(const std::string &path);
    // Writes the whole catalogue safely, then its systems' values; on failure the file is
    // unchanged and the result says why.
    static WriteResult save(const std::string &path, const CategoryCatalogue &catalogue);
    // The same, only while the file is still the one read (the stamp loadStamped gave): a file
    // changed by another program meanwhile is left as it is, and the result says so.
    static WriteResult saveIfUnchanged(const std::string &path, const CategoryCatalogue &catalogue,
                                       const std::optional<FileStamp> &readFrom);

    // Creates each of the four category files that does not exist in folder (empty: the working
    // directory) with the template. An existing file, even an empty one, is never touched. Says,
    // by tab index, which files it created.
    static std::array<bool, 4> ensureCatalogueFiles(const std::string &folder = {});
};

} // namespace marlit
