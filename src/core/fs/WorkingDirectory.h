#pragma once

#include "core/fs/FileDescriptor.h"

#include <optional>
#include <string>

namespace marlit {

// The process's working directory, whatever its length; nothing (errno set) when it cannot be
// told, for example when it was removed.
std::optional<std::string> currentDirectory();

// path made absolute against the working directory (as it is when it cannot be told).
std::string absolutePath(std::string path);

// Keeps the process's working directory across something that may change it (a dialog, a file
// picker): the folder it was in at construction is the working directory again when the keeper
// goes, even if that folder was renamed meanwhile, since it is held open rather than named.
class WorkingDirectoryKeeper
{
public:
    WorkingDirectoryKeeper();
    ~WorkingDirectoryKeeper();
    WorkingDirectoryKeeper(const WorkingDirectoryKeeper &) = delete;
    WorkingDirectoryKeeper &operator=(const WorkingDirectoryKeeper &) = delete;

private:
    FileDescriptor m_folder;
};

} // namespace marlit
