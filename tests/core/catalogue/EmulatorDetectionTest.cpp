#include "core/catalogue/EmulatorDetection.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using marlit::EmulatorDetection;
using marlit::EmulatorPreset;
using marlit::SystemPreset;
using marlit::test::TempDir;

namespace marlit {

inline void PrintTo(const SystemPreset &preset, std::ostream *out)
{
    *out << "{" << preset.emulator << ": " << preset.name << " installed=" << preset.installed << " emulatorPath=\""
         << preset.emulatorPath << "\" commandLine=\"" << preset.commandLine << "\" after=" << preset.paramsAfterRom
         << " extensions=" << preset.extensions.size() << "}";
}

inline void PrintTo(const EmulatorDetection::Lookup &lookup, std::ostream *out)
{
    *out << lookup.folder << ":";
    for (const std::string &name : lookup.names)
        *out << " " << name;
}

} // namespace marlit

namespace {

constexpr int kComputer = 3;
constexpr int kConsole = 1;

EmulatorPreset::System system(std::string name, int category = kConsole)
{
    return {std::move(name), "about", category, {}, {}, {}, {}};
}

SystemPreset installed(std::string emulator, std::string name, int category, std::string path, std::string commandLine,
                       bool after, std::vector<std::string> extensions)
{
    SystemPreset preset;
    preset.emulator = std::move(emulator);
    preset.name = std::move(name);
    preset.description = "about";
    preset.category = category;
    preset.install = "apt install " + preset.emulator;
    preset.extensions = std::move(extensions);
    preset.installed = true;
    preset.emulatorPath = std::move(path);
    preset.commandLine = std::move(commandLine);
    preset.paramsAfterRom = after;
    return preset;
}

SystemPreset missing(std::string emulator, std::string name, std::vector<std::string> extensions)
{
    SystemPreset preset =
        installed(std::move(emulator), std::move(name), kConsole, {}, {}, false, std::move(extensions));
    preset.installed = false;
    return preset;
}

EmulatorPreset emulator(std::string name, std::vector<std::string> programs, std::vector<std::string> flatpaks,
                        std::string parameters, std::vector<EmulatorPreset::System> systems)
{
    EmulatorPreset preset;
    preset.name = name;
    preset.programs = std::move(programs);
    preset.flatpaks = std::move(flatpaks);
    preset.install = "apt install " + name;
    preset.parameters = std::move(parameters);
    preset.extensions = {"rom"};
    preset.checked = "its manual";
    preset.systems = std::move(systems);
    return preset;
}

void makeProgram(const TempDir &dir, const std::string &relative, mode_t mode = 0755)
{
    dir.write(relative, "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(chmod(dir.file(relative).c_str(), mode), 0);
}

// A fake machine: two folders on PATH (the first holds a "dosbox" that cannot be run and a
// folder named "mupen64plus"), a relative PATH folder that must be passed over, flatpak, and a
// system and a user Flatpak installation; RetroArch has one of its two cores.
class EmulatorDetectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        makeProgram(dir, "usr/bin/dosbox", 0644);
        dir.makeFolder("usr/bin/mupen64plus");
        makeProgram(dir, "usr/bin/flatpak");
        makeProgram(dir, "usr/games/dosbox");
        makeProgram(dir, "usr/games/retroarch");
        dir.write("cores/nestopia_libretro.so");
        dir.makeFolder("system/flatpak/app/org.DolphinEmu.dolphin-emu/current");
        dir.makeFolder("home/flatpak/app/net.pcsx2.PCSX2/current");
        dir.makeFolder("home/flatpak/app/org.duckstation.DuckStation");
        dir.write("home/flatpak/app/io.mgba.mGBA"); // a file, not an installed application
        makeProgram(dir, "relative/fceux");
        // "relative" would be found from the working directory.
        ASSERT_NE(getcwd(previousDirectory, sizeof previousDirectory), nullptr);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        environment.searchPath = "relative:" + dir.file("usr/bin") + "::" + dir.file("usr/games/");
        environment.flatpakAppFolders = {dir.file("system/flatpak/app/"), dir.file("home/flatpak/app/")};
    }

    void TearDown() override { ASSERT_EQ(chdir(previousDirectory), 0); }

    std::vector<EmulatorPreset> table()
    {
        EmulatorPreset::System nes = system("NES");
        nes.parameters = "-L " + dir.file("cores/nestopia_libretro.so");
        nes.files = {dir.file("cores/nestopia_libretro.so")};
        nes.extensions = std::vector<std::string>{"nes"};
        EmulatorPreset::System snes = system("SNES");
        snes.files = {dir.file("cores/snes9x_libretro.so")};
        EmulatorPreset::System gameCube = system("GameCube");
        gameCube.flatpakParameters = "-b -e";

        EmulatorPreset dolphin =
            emulator("Dolphin", {"dolphin-emu"}, {"org.DolphinEmu.dolphin-emu"}, "-b -e", {system("Wii"), gameCube});
        dolphin.flatpakParameters = "-e";
        return {
            emulator("FCEUX", {"fceux"}, {}, "", {system("Famicom")}),
            emulator("DOSBox", {"dosbox"}, {}, "@-exit", {system("DOSBox", kComputer)}),
            emulator("Mupen64Plus", {"mupen64plus"}, {}, "--fullscreen", {system("Nintendo 64")}),
            emulator("RetroArch", {"retroarch"}, {}, "", {nes, snes}),
            emulator("PCSX2", {"pcsx2-qt", "PCSX2"}, {"net.pcsx2.PCSX2"}, "-fullscreen", {system("PlayStation 2")}),
            emulator("DuckStation", {}, {"org.duckstation.DuckStation"}, "@-fullscreen", {system("PlayStation")}),
            emulator("mGBA", {}, {"io.mgba.mGBA"}, "-f", {system("Game Boy Advance")}),
            dolphin,
        };
    }

    TempDir dir;
    char previousDirectory[4096] = {};
    EmulatorDetection::Environment environment;
};

TEST_F(EmulatorDetectionTest, FindsProgramsFlatpaksAndFilesInstalledOnesFirst)
{
    const std::string flatpak = dir.file("usr/bin/flatpak");
    const std::vector<SystemPreset> expected = {
        // The first executable "dosbox" on PATH, with its parameters after the ROM.
        installed("DOSBox", "DOSBox", kComputer, dir.file("usr/games/dosbox"), "-exit", true, {"rom"}),
        // The core it has; the system's parameters and extensions replace the emulator's.
        installed("RetroArch", "NES", kConsole, dir.file("usr/games/retroarch"),
                  "-L " + dir.file("cores/nestopia_libretro.so"), false, {"nes"}),
        // Only a Flatpak, in the user's installation: the parameters follow "run ID".
        installed("PCSX2", "PlayStation 2", kConsole, flatpak, "run net.pcsx2.PCSX2 -fullscreen", false, {"rom"}),
        // Parameters meant for after the ROM cannot follow "run ID": none.
        installed("DuckStation", "PlayStation", kConsole, flatpak, "run org.duckstation.DuckStation", false, {"rom"}),
        // The emulator's Flatpak parameters, and a system's own.
        installed("Dolphin", "Wii", kConsole, flatpak, "run org.DolphinEmu.dolphin-emu -e", false, {"rom"}),
        installed("Dolphin", "GameCube", kConsole, flatpak, "run org.DolphinEmu.dolphin-emu -b -e", false, {"rom"}),
        // Only in a relative PATH folder; a folder named like the program; a missing core; a
        // file where the application's folder would be.
        missing("FCEUX", "Famicom", {"rom"}),
        missing("Mupen64Plus", "Nintendo 64", {"rom"}),
        missing("RetroArch", "SNES", {"rom"}),
        missing("mGBA", "Game Boy Advance", {"rom"}),
    };
    EXPECT_EQ(EmulatorDetection::systems(table(), environment), expected);

    // In two steps, as the window asks its folder readers: every name is asked of every
    // absolute PATH folder, and what they find gives the same systems.
    const std::vector<EmulatorDetection::Lookup> lookups = EmulatorDetection::lookups(table(), environment);
    const std::vector<std::string> names = {"fceux",    "dosbox", "mupen64plus", "retroarch",
                                            "pcsx2-qt", "PCSX2",  "flatpak",     "dolphin-emu"};
    ASSERT_EQ(lookups,
              (std::vector<EmulatorDetection::Lookup>{{dir.file("usr/bin/"), names}, {dir.file("usr/games/"), names}}));
    std::set<std::string> executables;
    for (const EmulatorDetection::Lookup &lookup : lookups)
        for (const std::string &name : lookup.names)
            if (EmulatorDetection::findProgram(lookup.folder + name, ""))
                executables.insert(lookup.folder + name);
    EXPECT_EQ(EmulatorDetection::systems(table(), environment, executables), expected);
    // A folder that does not answer finds nothing: without its dosbox, DOSBox is not installed.
    executables.erase(dir.file("usr/games/dosbox"));
    const std::vector<SystemPreset> withoutOne = EmulatorDetection::systems(table(), environment, executables);
    EXPECT_EQ(withoutOne.front().name, "NES");
    EXPECT_EQ(std::count_if(withoutOne.begin(), withoutOne.end(), [](const SystemPreset &p) { return p.installed; }),
              5);

    // Without the flatpak program on PATH no Flatpak can be started, so none counts as installed.
    ASSERT_EQ(unlink(flatpak.c_str()), 0);
    const std::vector<SystemPreset> withoutFlatpak = EmulatorDetection::systems(table(), environment);
    ASSERT_EQ(withoutFlatpak.size(), expected.size());
    EXPECT_EQ(
        std::count_if(withoutFlatpak.begin(), withoutFlatpak.end(), [](const SystemPreset &p) { return p.installed; }),
        2);
}

// Sets an environment variable for the scope, and puts back what was there.
class ScopedVariable
{
public:
    ScopedVariable(const char *name, const char *value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

TEST_F(EmulatorDetectionTest, ThisProcessSearchesPathThenDebiansGamesAndBothFlatpakInstallations)
{
    const ScopedVariable path("PATH", nullptr);
    const ScopedVariable home("HOME", "/home/me");
    const ScopedVariable dataHome("XDG_DATA_HOME", nullptr);
    setenv("PATH", "/opt/emu/bin:/usr/games", 1);
    setenv("XDG_DATA_HOME", "/data/me", 1);
    EmulatorDetection::Environment ours = EmulatorDetection::Environment::ofThisProcess();
    EXPECT_EQ(ours.searchPath, "/opt/emu/bin:/usr/games:/usr/local/games");
    EXPECT_EQ(ours.flatpakAppFolders, (std::vector<std::string>{"/var/lib/flatpak/app/", "/data/me/flatpak/app/"}));

    unsetenv("XDG_DATA_HOME");
    ours = EmulatorDetection::Environment::ofThisProcess();
    EXPECT_EQ(ours.flatpakAppFolders,
              (std::vector<std::string>{"/var/lib/flatpak/app/", "/home/me/.local/share/flatpak/app/"}));
}

} // namespace
