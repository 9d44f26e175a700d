#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace marlit {

// What the ROM list area says about its folder, in the program's words (bytes: the folder's
// own name is kept as the file system gives it).
class FolderStatusText
{
public:
    // "Reading /roms/snes/ …", and the names so far once there are some.
    static std::string reading(const std::string &folder, std::uint64_t namesSoFar);
    static std::string notAnswering(const std::string &folder);
    // A folder chosen again while the read before has not answered: the new read waits for it.
    static std::string waitingForEarlierRead(const std::string &folder);
    // The system refused to watch the folder (the user's allowance of watches is used up).
    static std::string notFollowed(const std::string &folder);
    // The folders below a ROM directory, while its tree is read.
    static std::string readingFolders(const std::string &root);
    // "Cannot read /roms/snes/: Input/output error", with the system's text for error.
    static std::string cannotRead(const std::string &folder, int error);
    static std::string treeCut(std::size_t maxFolders);
    static std::string noRomFolder();
};

} // namespace marlit
