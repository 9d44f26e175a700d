#include "core/catalogue/EmulatorDetection.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace marlit {

namespace {

constexpr std::string_view kFlatpakProgram = "flatpak";

bool isExecutableFile(const std::string &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool containsFolder(std::string_view searchPath, std::string_view folder)
{
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos)
            end = searchPath.size();
        if (searchPath.substr(start, end - start) == folder)
            return true;
        start = end + 1;
    }
    return false;
}

// How an emulator was found: a program, or a Flatpak application started through flatpak.
struct Found
{
    std::string program;
    std::string flatpakId; // empty for a program
};

using IsExecutable = std::function<bool(const std::string &path)>;

// Calls visit with each absolute folder of searchPath, ending with "/", in order.
template <typename Visit> bool forEachFolder(std::string_view searchPath, const Visit &visit)
{
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos)
            end = searchPath.size();
        const std::string_view folder = searchPath.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || folder.front() != '/')
            continue;
        std::string withSeparator(folder);
        if (withSeparator.back() != '/')
            withSeparator.push_back('/');
        if (visit(withSeparator))
            return true;
    }
    return false;
}

std::optional<std::string> findProgramWith(std::string_view program, std::string_view searchPath,
                                           const IsExecutable &isExecutable)
{
    if (program.empty())
        return std::nullopt;
    if (program.find('/') != std::string_view::npos) {
        std::string path(program);
        return path.front() == '/' && isExecutable(path) ? std::optional(path) : std::nullopt;
    }
    std::optional<std::string> found;
    forEachFolder(searchPath, [&](const std::string &folder) {
        std::string candidate = folder + std::string(program);
        if (isExecutable(candidate))
            found = std::move(candidate);
        return found.has_value();
    });
    return found;
}

std::optional<Found> findEmulator(const EmulatorPreset &emulator, const EmulatorDetection::Environment &environment,
                                  const IsExecutable &isExecutable)
{
    for (const std::string &name : emulator.programs)
        if (std::optional<std::string> path = findProgramWith(name, environment.searchPath, isExecutable))
            return Found{std::move(*path), {}};
    if (emulator.flatpaks.empty())
        return std::nullopt;
    const std::optional<std::string> flatpak = findProgramWith(kFlatpakProgram, environment.searchPath, isExecutable);
    if (!flatpak)
        return std::nullopt;
    for (const std::string &id : emulator.flatpaks)
        for (const std::string &folder : environment.flatpakAppFolders)
            if (!id.empty() && id.find('/') == std::string::npos && isFolder(folder + id))
                return Found{*flatpak, id};
    return std::nullopt;
}

bool allExist(const std::vector<std::string> &paths)
{
    return std::all_of(paths.begin(), paths.end(), exists);
}

// The parameters with their "@", split into where they go and their text.
void storeParameters(const std::string &parameters, SystemPreset &preset)
{
    preset.paramsAfterRom = !parameters.empty() && parameters.front() == '@';
    preset.commandLine = preset.paramsAfterRom ? parameters.substr(1) : parameters;
}

SystemPreset presetOf(const EmulatorPreset &emulator, const EmulatorPreset::System &system,
                      const std::optional<Found> &found)
{
    SystemPreset preset;
    preset.emulator = emulator.name;
    preset.name = system.name;
    preset.description = system.description;
    preset.category = system.category;
    preset.install = emulator.install;
    preset.extensions = system.extensions.value_or(emulator.extensions);
    preset.installed = found && allExist(emulator.files) && allExist(system.files);
    if (!preset.installed)
        return preset;

    const std::string &parameters = system.parameters.value_or(emulator.parameters);
    preset.emulatorPath = found->program;
    if (found->flatpakId.empty()) {
        storeParameters(parameters, preset);
        return preset;
    }
    // A Flatpak takes the ROM last, after "run ID" and its own parameters.
    const bool afterRom = !parameters.empty() && parameters.front() == '@';
    const std::string flatpakParameters =
        system.flatpakParameters.value_or(emulator.flatpakParameters.value_or(afterRom ? std::string() : parameters));
    preset.commandLine = "run " + found->flatpakId + (flatpakParameters.empty() ? "" : " " + flatpakParameters);
    preset.paramsAfterRom = false;
    return preset;
}

} // namespace

EmulatorDetection::Environment EmulatorDetection::Environment::ofThisProcess()
{
    Environment environment;
    const char *path = std::getenv("PATH");
    environment.searchPath = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (const char *games : {"/usr/local/games", "/usr/games"})
        if (!containsFolder(environment.searchPath, games))
            environment.searchPath += std::string(":") + games;

    environment.flatpakAppFolders.push_back("/var/lib/flatpak/app/");
    const char *dataHome = std::getenv("XDG_DATA_HOME");
    const char *home = std::getenv("HOME");
    if (dataHome && dataHome[0] == '/')
        environment.flatpakAppFolders.push_back(std::string(dataHome) + "/flatpak/app/");
    else if (home && home[0] == '/')
        environment.flatpakAppFolders.push_back(std::string(home) + "/.local/share/flatpak/app/");
    return environment;
}

std::vector<SystemPreset> EmulatorDetection::systems(const std::vector<EmulatorPreset> &emulators,
                                                     const Environment &environment)
{
    return systemsWith(emulators, environment, isExecutableFile);
}

std::vector<SystemPreset> EmulatorDetection::systems(const std::vector<EmulatorPreset> &emulators,
                                                     const Environment &environment,
                                                     const std::set<std::string> &executables)
{
    return systemsWith(emulators, environment,
                       [&executables](const std::string &path) { return executables.count(path) > 0; });
}

std::vector<EmulatorDetection::Lookup> EmulatorDetection::lookups(const std::vector<EmulatorPreset> &emulators,
                                                                  const Environment &environment)
{
    std::vector<Lookup> lookups;
    const auto add = [&lookups](const std::string &folder, const std::string &name) {
        auto it =
            std::find_if(lookups.begin(), lookups.end(), [&](const Lookup &held) { return held.folder == folder; });
        if (it == lookups.end())
            it = lookups.insert(lookups.end(), Lookup{folder, {}});
        if (std::find(it->names.begin(), it->names.end(), name) == it->names.end())
            it->names.push_back(name);
    };
    std::vector<std::string> programs;
    for (const EmulatorPreset &emulator : emulators) {
        programs.insert(programs.end(), emulator.programs.begin(), emulator.programs.end());
        if (!emulator.flatpaks.empty())
            programs.emplace_back(kFlatpakProgram);
    }
    for (const std::string &program : programs) {
        const std::size_t slash = program.rfind('/');
        if (slash == std::string::npos && !program.empty())
            forEachFolder(environment.searchPath, [&](const std::string &folder) {
                add(folder, program);
                return false;
            });
        else if (slash != std::string::npos && program.front() == '/' && slash + 1 < program.size())
            add(program.substr(0, slash + 1), program.substr(slash + 1));
    }
    return lookups;
}

std::vector<SystemPreset> EmulatorDetection::systemsWith(const std::vector<EmulatorPreset> &emulators,
                                                         const Environment &environment,
                                                         const std::function<bool(const std::string &)> &isExecutable)
{
    std::vector<SystemPreset> presets;
    for (const EmulatorPreset &emulator : emulators) {
        const std::optional<Found> found = findEmulator(emulator, environment, isExecutable);
        for (const EmulatorPreset::System &system : emulator.systems)
            presets.push_back(presetOf(emulator, system, found));
    }
    std::stable_partition(presets.begin(), presets.end(), [](const SystemPreset &preset) { return preset.installed; });
    return presets;
}

std::optional<std::string> EmulatorDetection::findProgram(std::string_view program, std::string_view searchPath)
{
    return findProgramWith(program, searchPath, isExecutableFile);
}

} // namespace marlit
