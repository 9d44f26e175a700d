#pragma once

#include <optional>
#include <string>
#include <vector>

namespace marlit {

// A known emulator, as the table of known emulators describes it: how to find it, how to start
// it on a ROM, and the systems it serves.
struct EmulatorPreset
{
    // One system the emulator serves. What it leaves unset is the emulator's.
    struct System
    {
        std::string name;
        std::string description;
        int category = 0; // the tab it belongs in
        std::optional<std::string> parameters;
        std::optional<std::string> flatpakParameters;
        std::vector<std::string> files; // needed besides the emulator's own
        std::optional<std::vector<std::string>> extensions;

        bool operator==(const System &) const = default;
    };

    std::string name;
    std::vector<std::string> programs; // names looked up on PATH, the first found is used
    std::vector<std::string> flatpaks; // Flatpak application ids, tried when no program is found
    std::vector<std::string> files;    // absolute paths that must exist too
    std::string install;               // how a user installs it
    std::string parameters;            // as the catalogue stores them: a leading "@" puts them after the ROM
    // What follows "run ID" when it is started as a Flatpak (the ROM comes last). When unset: the
    // parameters if they go before the ROM, else nothing.
    std::optional<std::string> flatpakParameters;
    std::vector<std::string> extensions; // of the ROM files it takes, without the dot
    std::string checked;                 // where its parameters were checked
    std::vector<System> systems;

    bool operator==(const EmulatorPreset &) const = default;
};

} // namespace marlit
