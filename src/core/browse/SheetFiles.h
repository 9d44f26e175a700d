#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// The files a multi-file game's sheet or list names: a disc's cue, gdi, toc or ccd sheet names
// its tracks, an m3u list its discs. The game's row stands for them all, so the ROM list hides
// what a sheet names and the launch says which of them is missing.
class SheetFiles
{
public:
    // A sheet is read only up to this size; a bigger file is not a sheet (a disc image wrongly
    // named .cue), and is never read whole.
    static constexpr std::size_t kMaxSheetBytes = 64u << 10;

    // Whether name's extension (any case) is one of a sheet or list.
    static bool isSheet(std::string_view name);
    // The file names sheetName's bytes name, as written (relative to the sheet's folder, or
    // absolute). A CloneCD sheet names no file: its image and sub-channel files share its name.
    static std::vector<std::string> namedFiles(std::string_view sheetName, std::string_view bytes);
    // The same for the sheet named name in folder (ending with the separator), read without
    // following a last link, never blocking on a FIFO and never beyond kMaxSheetBytes. Nothing
    // when it cannot be read or is too big.
    static std::vector<std::string> read(const std::string &folder, const std::string &name);
    // The files the sheet at path names that are not there, as named.
    static std::vector<std::string> missing(const std::string &path);
};

} // namespace marlit
