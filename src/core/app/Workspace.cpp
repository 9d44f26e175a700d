#include "core/app/Workspace.h"

#include "core/catalogue/CategoryTable.h"
#include "core/fs/Paths.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace marlit {

std::optional<Workspace::Choice> Workspace::choose(const std::optional<std::string> &requested,
                                                   const std::string &currentFolder,
                                                   const std::function<const char *(const char *)> &environment)
{
    if (requested)
        return Choice{*requested, false};
    if (holdsCatalogue(currentFolder))
        return Choice{currentFolder, false};
    std::optional<std::string> dataHome = dataHomeFolder(environment);
    if (!dataHome)
        return std::nullopt;
    // Started in the workspace itself (the menu's launcher does so): nothing to say.
    const bool sameFolder = withTrailingSeparator(*dataHome) == withTrailingSeparator(currentFolder);
    return Choice{std::move(*dataHome), !sameFolder};
}

std::optional<std::string> Workspace::dataHomeFolder(const std::function<const char *(const char *)> &environment)
{
    const char *dataHome = environment("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == kPathSeparator)
        return withTrailingSeparator(dataHome) + "marlit";
    // Unset, empty or relative: XDG's default.
    const char *home = environment("HOME");
    if (!home || home[0] != kPathSeparator)
        return std::nullopt;
    return withTrailingSeparator(home) + ".local/share/marlit";
}

bool Workspace::holdsCatalogue(const std::string &folder)
{
    for (int index = 0; index < CategoryTable::kCount; ++index) {
        struct stat status
        {
        };
        if (::lstat((withTrailingSeparator(folder) + CategoryTable::fileName(index)).c_str(), &status) == 0)
            return true;
    }
    return false;
}

int Workspace::enter(const std::string &folder)
{
    // Each missing folder on the way is made private; existing ones are left as they are.
    for (std::size_t end = folder.find(kPathSeparator, 1);; end = folder.find(kPathSeparator, end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        if (end == std::string::npos)
            break;
    }
    return ::chdir(folder.c_str()) == 0 ? 0 : errno;
}

std::string Workspace::shownName(const std::string &folder, const char *home)
{
    if (!home || home[0] != kPathSeparator)
        return folder;
    const std::string homeFolder = withTrailingSeparator(home);
    if (folder.compare(0, homeFolder.size(), homeFolder) == 0)
        return "~/" + folder.substr(homeFolder.size());
    return folder;
}

} // namespace marlit
