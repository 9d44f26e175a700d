#include "core/catalogue/SystemFileTypes.h"

#include <algorithm>

namespace marlit {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return result;
}

std::string_view fileNameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Whether the entry starts this preset's program, on PATH, by full path or as its Flatpak.
bool startsProgramOf(const SystemEntry &entry, const EmulatorPreset &preset)
{
    const std::string program(fileNameOf(entry.emulatorDirectory + entry.emulatorFile));
    if (std::find(preset.programs.begin(), preset.programs.end(), program) != preset.programs.end())
        return true;
    if (program != "flatpak")
        return false;
    return std::any_of(preset.flatpaks.begin(), preset.flatpaks.end(),
                       [&](const std::string &id) { return entry.commandLine.find(id) != std::string::npos; });
}

std::string parametersOf(const SystemEntry &entry)
{
    return std::string(trimmed((entry.paramsAfterRom ? "@" : "") + entry.commandLine));
}

} // namespace

std::vector<std::string> SystemFileTypes::patterns(std::string_view text)
{
    std::vector<std::string> result;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(" \t,;");
        const std::string_view word = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (word.empty())
            continue;
        std::string pattern(word);
        if (word.find_first_of("*?") == std::string_view::npos)
            pattern = "*." + std::string(word.front() == '.' ? word.substr(1) : word);
        if (std::find(result.begin(), result.end(), pattern) == result.end())
            result.push_back(std::move(pattern));
    }
    return result;
}

std::optional<std::string> SystemFileTypes::fromPresets(const SystemEntry &entry,
                                                        const std::vector<EmulatorPreset> &presets)
{
    std::vector<std::string> extensions;
    bool known = false;
    const std::string parameters = parametersOf(entry);
    for (const EmulatorPreset &preset : presets) {
        if (!startsProgramOf(entry, preset))
            continue;
        known = true;
        std::vector<const EmulatorPreset::System *> meant;
        for (const EmulatorPreset::System &system : preset.systems)
            if (trimmed(system.parameters.value_or(preset.parameters)) == parameters)
                meant.push_back(&system);
        if (meant.size() > 1) {
            std::vector<const EmulatorPreset::System *> described;
            for (const EmulatorPreset::System *system : meant)
                if (lowered(system->description) == lowered(entry.description))
                    described.push_back(system);
            if (described.size() == 1)
                meant = described;
        }
        if (meant.empty()) // the parameters were changed: any of its systems
            for (const EmulatorPreset::System &system : preset.systems)
                meant.push_back(&system);
        for (const EmulatorPreset::System *system : meant)
            for (const std::string &extension : system->extensions.value_or(preset.extensions))
                if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
                    extensions.push_back(extension);
        if (meant.empty())
            extensions.insert(extensions.end(), preset.extensions.begin(), preset.extensions.end());
    }
    if (!known || extensions.empty())
        return std::nullopt;
    std::string text;
    for (const std::string &extension : extensions)
        text.append(text.empty() ? "" : " ").append("*.").append(extension);
    return text;
}

std::string SystemFileTypes::text(const SystemEntry &entry, const std::vector<EmulatorPreset> &presets)
{
    if (const std::string *own = entry.values.find(kKey))
        return *own;
    return fromPresets(entry, presets).value_or(std::string());
}

} // namespace marlit
