#include "core/catalogue/EmulatorDetection.h"

#include <algorithm>
#include <cstdlib>
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

std::optional<Found> findEmulator(const EmulatorPreset &emulator, const EmulatorDetection::Environment &environment)
{
    for (const std::string &name : emulator.programs)
        if (std::optional<std::string> path = EmulatorDetection::findProgram(name, environment.searchPath))
            return Found{std::move(*path), {}};
    if (emulator.flatpaks.empty())
        return std::nullopt;
    const std::optional<std::string> flatpak = EmulatorDetection::findProgram(kFlatpakProgram, environment.searchPath);
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
    std::vector<SystemPreset> presets;
    for (const EmulatorPreset &emulator : emulators) {
        const std::optional<Found> found = findEmulator(emulator, environment);
        for (const EmulatorPreset::System &system : emulator.systems)
            presets.push_back(presetOf(emulator, system, found));
    }
    std::stable_partition(presets.begin(), presets.end(), [](const SystemPreset &preset) { return preset.installed; });
    return presets;
}

std::optional<std::string> EmulatorDetection::findProgram(std::string_view program, std::string_view searchPath)
{
    if (program.empty())
        return std::nullopt;
    if (program.find('/') != std::string_view::npos) {
        std::string path(program);
        return path.front() == '/' && isExecutableFile(path) ? std::optional(path) : std::nullopt;
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos)
            end = searchPath.size();
        const std::string_view folder = searchPath.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || folder.front() != '/')
            continue;
        std::string candidate(folder);
        if (candidate.back() != '/')
            candidate.push_back('/');
        candidate.append(program);
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

} // namespace marlit
