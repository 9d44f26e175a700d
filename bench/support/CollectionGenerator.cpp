#include "CollectionGenerator.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <unordered_set>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace marlit::bench {

namespace {

constexpr std::array kFirstWords = {
    "Super",
    "Mega",
    "Ultra",
    "Final",
    "Legend of",
    "Dragon",
    "Street",
    "Sonic",
    "Mario",
    "Zelda",
    "Metal",
    "Star",
    "Donkey",
    "Castle",
    "Ninja",
    "Space",
    "Tetris",
    "Bomber",
    "Kirby's",
    "Dr.",
    "Pok\xc3\xa9mon",
    "Caf\xc3\xa9",
    "\xc5\x8c"
    "kami",
    "Se\xc3\xb1or",
    "M\xc3\xa4"
    "dchen",
    "\xe3\x83\x89\xe3\x83\xa9\xe3\x82\xb4\xe3\x83\xb3",
    "Golden",
    "Shadow",
    "Crystal",
    "Turbo",
};
constexpr std::array kSecondWords = {
    "Quest", "Fighter", "Kart",  "Adventure", "Warriors", "Racing", "Soccer", "Golf",    "Tennis", "Island",
    "World", "Land",    "Wars",  "Invaders",  "Man",      "Gear",   "Force",  "Hunter",  "Strike", "Dreams",
    "Mario", "Bros.",   "Party", "Puzzle",    "League",   "Tales",  "Saga",   "Blaster", "Knight", "Rally",
};
constexpr std::array kSequels = {"",    "",     "",    "",        " 2",       " 3",
                                 " II", " III", " 64", " Deluxe", " Advance", " & Knuckles"};
constexpr std::array kSubtitles = {
    "", "", "", "", "", " - The Lost Levels", " - Chapter 2", ", The", " - Special Edition"};
constexpr std::array kRegions = {"(U)",     "(E)", "(J)", "(USA)",         "(Europe)", "(Japan)",
                                 "(World)", "(F)", "(G)", "(USA, Europe)", "(j)",      "(Japan, Korea)"};
constexpr std::array kVersions = {"", "", "", "", " (Rev 1)", " (V1.1)", " (Beta)", " (Proto)", " (Disc 1)"};
constexpr std::array kFlags = {"", "", "", " [!]", " [b1]", " [h1C]", " [o1]", " [T+Eng1.02]", " [a1]", " [f1]"};
constexpr std::array kExtensions = {".zip", ".nes", ".sfc", ".smc", ".gb",  ".gbc", ".gba", ".md",
                                    ".bin", ".7z",  ".iso", ".n64", ".z64", ".cue", ".rom", ".tar.gz"};

constexpr std::array kSystems = {
    "Nintendo Entertainment System",
    "Super Nintendo",
    "Nintendo 64",
    "Game Boy",
    "Game Boy Advance",
    "Sega Master System",
    "Sega Mega Drive",
    "Sega Saturn",
    "PC Engine",
    "Neo Geo",
    "Atari 2600",
    "Atari Lynx",
    "MSX",
    "Amstrad CPC",
    "Commodore 64",
    "ZX Spectrum",
    "Arcade (MAME)",
    "WonderSwan",
    "PlayStation",
    "Vectrex",
};
constexpr std::array kRegionFolders = {"Europe",    "USA",    "Japan", "World",  "Asia",
                                       "Australia", "Brazil", "Korea", "France", "Germany"};

template <typename Words> const char *pick(std::mt19937 &random, const Words &words)
{
    return words[random() % words.size()];
}

// The description of what is on disk, written last, so a run that stopped half-way is noticed.
// Raised whenever the names change, so that an older collection is made again.
constexpr const char *kNamesVersion = "names 2";

std::string stampPath(const std::string &folder)
{
    std::string path = folder;
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path + ".complete";
}

bool isComplete(const std::string &folder, const std::string &description)
{
    std::ifstream in(stampPath(folder));
    const std::string found((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return found == kNamesVersion + std::string(" ") + description;
}

bool markComplete(const std::string &folder, const std::string &description)
{
    std::ofstream out(stampPath(folder), std::ios::trunc);
    out << kNamesVersion << ' ' << description;
    return static_cast<bool>(out);
}

bool startAfresh(const std::string &folder)
{
    std::error_code error;
    fs::remove(stampPath(folder), error);
    fs::remove_all(folder, error);
    return fs::create_directories(folder, error) && !error;
}

bool makeEmptyFile(const std::string &path)
{
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::string withSlash(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path.push_back('/');
    return path;
}

} // namespace

std::vector<std::string> CollectionGenerator::romNames(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::string> names;
    names.reserve(count);
    std::unordered_set<std::string> taken;
    taken.reserve(count);
    while (names.size() < count) {
        std::string title = std::string(pick(random, kFirstWords)) + " " + pick(random, kSecondWords) +
                            pick(random, kSequels) + pick(random, kSubtitles);
        std::string tags = std::string(" ") + pick(random, kRegions) + pick(random, kVersions) + pick(random, kFlags);
        const std::string extension = pick(random, kExtensions);
        std::string name = title + tags + extension;
        // Collections hold many alternative dumps of one game; number them like the sets do.
        for (int alternative = 2; !taken.insert(name).second; ++alternative)
            name = title + tags + " [a" + std::to_string(alternative) + "]" + extension;
        names.push_back(std::move(name));
    }
    return names;
}

bool CollectionGenerator::makeFlatFolder(const std::string &folder, std::size_t fileCount)
{
    const std::string path = withSlash(folder);
    const std::string description = "flat " + std::to_string(fileCount) + "\n";
    if (isComplete(path, description))
        return true;
    if (!startAfresh(path))
        return false;
    for (const std::string &name : romNames(fileCount)) {
        if (!makeEmptyFile(path + name))
            return false;
    }
    return markComplete(path, description);
}

bool CollectionGenerator::makeCueFolder(const std::string &folder, std::size_t sheetCount)
{
    const std::string path = withSlash(folder);
    const std::string description = "cue " + std::to_string(sheetCount) + "\n";
    if (isComplete(path, description))
        return true;
    if (!startAfresh(path))
        return false;
    for (std::size_t i = 0; i < sheetCount; ++i) {
        const std::string game = "Game " + std::to_string(i) + " (USA)";
        std::ofstream(path + game + ".cue", std::ios::binary)
            << "FILE \"" << game << ".bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n";
        if (!makeEmptyFile(path + game + ".bin"))
            return false;
    }
    return markComplete(path, description);
}

bool CollectionGenerator::makeDeepTree(const std::string &root, std::size_t fileCount, std::size_t leafFolders)
{
    const std::string path = withSlash(root);
    const std::string description = "deep " + std::to_string(fileCount) + " " + std::to_string(leafFolders) + "\n";
    if (isComplete(path, description))
        return true;
    if (!startAfresh(path) || leafFolders == 0)
        return false;

    // Systems, then regions, then numbered sets, until there are leafFolders sets.
    const std::size_t perRegion =
        (leafFolders + kSystems.size() * kRegionFolders.size() - 1) / (kSystems.size() * kRegionFolders.size());
    const std::vector<std::string> names = romNames(fileCount, 2);
    std::size_t made = 0;
    std::size_t next = 0;
    for (const char *system : kSystems) {
        for (const char *region : kRegionFolders) {
            for (std::size_t set = 1; set <= perRegion && made < leafFolders; ++set, ++made) {
                std::ostringstream leaf;
                leaf << path << system << '/' << region << "/Set " << (set < 10 ? "0" : "") << set << '/';
                std::error_code error;
                fs::create_directories(leaf.str(), error);
                if (error)
                    return false;
                // Spread the files evenly; the first folders take the remainder.
                const std::size_t share = fileCount / leafFolders + (made < fileCount % leafFolders ? 1 : 0);
                for (std::size_t i = 0; i < share; ++i) {
                    if (!makeEmptyFile(leaf.str() + names[next++]))
                        return false;
                }
            }
        }
    }
    return made == leafFolders && markComplete(path, description);
}

} // namespace marlit::bench
