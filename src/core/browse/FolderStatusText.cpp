#include "core/browse/FolderStatusText.h"

#include <cstring>

namespace marlit {

namespace {

// 12345 as "12,345".
std::string grouped(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3;) {
        at -= 3;
        digits.insert(at, 1, ',');
    }
    return digits;
}

} // namespace

std::string FolderStatusText::reading(const std::string &folder, std::uint64_t namesSoFar)
{
    std::string text = "Reading " + folder + " \xE2\x80\xA6"; // an ellipsis
    if (namesSoFar > 0) {
        // Appended piece by piece: GCC 12 warns (-Wrestrict, wrongly) on a literal + temporary here.
        text += ' ';
        text += grouped(namesSoFar);
        text += namesSoFar == 1 ? " name so far" : " names so far";
    }
    return text;
}

std::string FolderStatusText::readingFolders(const std::string &root)
{
    return "Reading the folders in " + root + " \xE2\x80\xA6";
}

std::string FolderStatusText::notAnswering(const std::string &folder)
{
    return "Waiting for " + folder + ": the folder is not answering.";
}

std::string FolderStatusText::waitingForEarlierRead(const std::string &folder)
{
    return "Waiting for " + folder + ": the folder has not answered the last read yet.";
}

std::string FolderStatusText::notFollowed(const std::string &folder)
{
    return "Changes in " + folder +
           " will not show by themselves: the system allows no more watches. Choose the folder again to read it "
           "afresh.";
}

std::string FolderStatusText::cannotRead(const std::string &folder, int error)
{
    return "Cannot read " + folder + ": " + std::strerror(error);
}

std::string FolderStatusText::treeCut(std::size_t maxFolders)
{
    return "The folder tree shows its first " + grouped(maxFolders) + " folders only.";
}

std::string FolderStatusText::noRomFolder()
{
    return "No ROM folder set for this system: click Setup to choose one.";
}

} // namespace marlit
