// Loading and saving a catalogue of 10,000 systems, against reading and writing the same bytes
// plainly, and parsing against merely copying the catalogue. Saving syncs its file to disk, so it
// is set against a plain write with and without fsync. The folder is under TMPDIR (or /tmp):
// point TMPDIR at a real disk for fair sync times.

#include "BenchSupport.h"

#include "core/catalogue/CatalogueFile.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using marlit::CatalogueFile;
using marlit::CategoryCatalogue;
using marlit::SystemEntry;
using namespace marlit::bench;

namespace {

constexpr int kRecords = 10000;

// Records as a user's collection has them: full paths, a few parameters, some empty fields.
CategoryCatalogue makeCatalogue()
{
    const char *const makers[] = {"Nintendo", "Sega", "Sony", "Atari", "NEC", "SNK", "Commodore", "Sinclair"};
    const char *const emulators[] = {"snes9x", "mednafen", "fceux", "stella", "mame", "vice", "fuse", "gngeo"};
    std::vector<SystemEntry> entries;
    entries.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        const std::string maker = makers[i % 8];
        const std::string emulator = emulators[(i / 8) % 8];
        const std::string system = maker + "-" + std::to_string(i);
        SystemEntry entry;
        entry.name = maker;
        entry.description = "Home system number " + std::to_string(i) + " (" + emulator + ")";
        entry.romDirectory = "/home/player/games/roms/" + system + "/";
        entry.emulatorDirectory = "/usr/local/games/" + emulator;
        entry.emulatorFile = "/" + emulator;
        entry.commandLine = i % 3 ? "-fullscreen -sound on" : "";
        entry.paramsAfterRom = i % 5 == 0;
        entry.iconPath = "/home/player/games/icons/" + system + ".ico";
        entry.snapshotDirA = "/home/player/games/snaps/" + system + "/titles/";
        entry.snapshotDirB = i % 2 ? "/home/player/games/snaps/" + system + "/ingame/" : "";
        entry.defaultSnapshot = i % 4 ? "" : "/home/player/games/snaps/" + system + ".png";
        entries.push_back(std::move(entry));
    }
    return CategoryCatalogue(std::move(entries));
}

// The baseline: the whole file in one read into a string of its size.
std::string plainRead(const std::string &path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void plainWrite(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool plainWriteSynced(const std::string &path, const std::string &bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

} // namespace

int main()
{
    std::string folder = (std::filesystem::temp_directory_path() / "marlit-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    folder += "/";
    const std::string catalogueFile = folder + "classic.ini";
    const std::string plainFile = folder + "plain.ini";

    const CategoryCatalogue catalogue = makeCatalogue();
    const std::string bytes = CatalogueFile::serialize(catalogue);
    if (!CatalogueFile::save(catalogueFile, catalogue).ok() || CatalogueFile::load(catalogueFile) != catalogue) {
        std::fprintf(stderr, "the catalogue does not survive a save and a load\n");
        return 1;
    }
    std::printf("%d records, %.2f MB, in %s\n", catalogue.size(), bytes.size() / 1e6, folder.c_str());

    std::size_t sink = 0; // keeps the results alive so that no work is optimised away
    const std::vector<Timing> reading =
        measureInterleaved(40, {
                                   [&] { sink += plainRead(catalogueFile).size(); },
                                   [&] { sink += static_cast<std::size_t>(CatalogueFile::load(catalogueFile).size()); },
                                   [&] { sink += static_cast<std::size_t>(CatalogueFile::parse(bytes).size()); },
                                   [&] {
                                       const CategoryCatalogue copy = catalogue;
                                       sink += static_cast<std::size_t>(copy.size());
                                   },
                               });
    report("plain read of the file (baseline)", reading[0], reading[0]);
    report("CatalogueFile::load", reading[1], reading[0]);
    report("CatalogueFile::parse, bytes in memory", reading[2], reading[0]);
    // Every value is a string of its own, so building the catalogue at all costs as much as a
    // copy of it: the floor any parser of this data model stands on.
    report("copy of the catalogue (the same allocations)", reading[3], reading[0]);
    report("CatalogueFile::parse against that copy", reading[2], reading[3]);

    const std::vector<Timing> writing =
        measureInterleaved(20, {
                                   [&] { plainWrite(plainFile, bytes); },
                                   [&] { sink += plainWriteSynced(plainFile, bytes); },
                                   [&] { sink += CatalogueFile::save(catalogueFile, catalogue).ok(); },
                                   [&] { sink += CatalogueFile::serialize(catalogue).size(); },
                               });
    report("plain write, no fsync (baseline)", writing[0], writing[0]);
    report("plain write + fsync (baseline)", writing[1], writing[1]);
    report("CatalogueFile::save against plain write", writing[2], writing[0]);
    report("CatalogueFile::save against plain write + fsync", writing[2], writing[1]);
    report("CatalogueFile::serialize against plain write", writing[3], writing[0]);

    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return sink == 0 ? 1 : 0;
}
