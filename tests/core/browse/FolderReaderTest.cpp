// Folder readers as the window uses them: real processes started by the spawner, a request
// sent over the socket, the answer read back in frames with its inotify descriptors, and those
// descriptors seeing changes made on disk afterwards.

#include "core/browse/FolderReader.h"
#include "core/browse/ReaderProtocol.h"
#include "core/browse/ReaderSpawner.h"
#include "core/browse/WatchEvents.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using marlit::FileDescriptor;
using marlit::FolderRequest;
using marlit::ReaderProtocol;
using marlit::ReaderSpawner;
using marlit::WatchEvents;
using marlit::test::TempDir;

namespace {

struct Answer
{
    marlit::RomNames names;   // the list as it ends, its sheets read
    marlit::RomNames guessed; // the list shown first, when its sheets were read after
    marlit::FolderTree tree;
    marlit::MissingParts missing;
    std::vector<ReaderProtocol::Done> dones;
    std::map<std::uint8_t, FileDescriptor> watches; // by kind
};

bool readable(int fd, int timeoutMs)
{
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, timeoutMs) == 1;
}

// Reads frames until parts Done frames have come.
Answer receive(int socket, std::size_t parts)
{
    Answer answer;
    std::string inbox;
    std::vector<int> fds;
    while (answer.dones.size() < parts) {
        ReaderProtocol::Frame frame;
        std::size_t size = 0;
        const ReaderProtocol::Split split = ReaderProtocol::split(inbox, frame, size);
        if (split == ReaderProtocol::Split::Whole) {
            std::uint64_t id = 0;
            if (frame.type == ReaderProtocol::FrameType::Names) {
                EXPECT_TRUE(ReaderProtocol::readNames(frame.payload, id, answer.names));
            } else if (frame.type == ReaderProtocol::FrameType::MissingParts) {
                EXPECT_TRUE(ReaderProtocol::readMissingParts(frame.payload, id, answer.missing));
            } else if (frame.type == ReaderProtocol::FrameType::Tree) {
                EXPECT_TRUE(ReaderProtocol::readTree(frame.payload, id, answer.tree));
            } else if (frame.type == ReaderProtocol::FrameType::Done) {
                const auto done = ReaderProtocol::readDone(frame.payload);
                EXPECT_TRUE(done);
                if (!done)
                    return answer;
                answer.dones.push_back(*done);
                if (done->hasList && done->sheetsPending)
                    answer.guessed = std::exchange(answer.names, {});
                else if (done->hasList && done->unchanged && !answer.guessed.empty())
                    answer.names = answer.guessed;
                if (done->watches != 0 && !fds.empty()) {
                    answer.watches[done->watches] = FileDescriptor(fds.front());
                    fds.erase(fds.begin());
                }
            }
            inbox.erase(0, size);
            continue;
        }
        EXPECT_EQ(split, ReaderProtocol::Split::Incomplete);
        if (split != ReaderProtocol::Split::Incomplete || !readable(socket, 10000)) {
            ADD_FAILURE() << "no answer";
            return answer;
        }
        char buffer[65536];
        iovec data{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (got <= 0) {
            ADD_FAILURE() << "the reader ended";
            return answer;
        }
        for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header))
            for (std::size_t i = 0; i < (header->cmsg_len - CMSG_LEN(0)) / sizeof(int); ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
                fds.push_back(fd);
            }
        inbox.append(buffer, static_cast<std::size_t>(got));
    }
    for (const int fd : fds)
        close(fd);
    return answer;
}

WatchEvents::Summary eventsOf(const FileDescriptor &watch)
{
    if (!readable(watch.get(), 5000))
        return {};
    char buffer[16384];
    const ssize_t got = read(watch.get(), buffer, sizeof buffer);
    return got > 0 ? WatchEvents::summarise(std::string_view(buffer, static_cast<std::size_t>(got)))
                   : WatchEvents::Summary{};
}

bool ended(const ReaderSpawner::Reader &reader)
{
    return readable(reader.pidfd.get(), 5000); // a pidfd reads as ready once its process is gone
}

void send(const ReaderSpawner::Reader &reader, const FolderRequest &request)
{
    const std::string frame = ReaderProtocol::request(request);
    ASSERT_EQ(write(reader.socket.get(), frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
}

TEST(FolderReaderTest, AReaderProcessAnswersInPartsAndItsWatchesSeeLaterChanges)
{
    TempDir dir;
    dir.write("roms/Zelda.nes");
    dir.write("roms/Mario.nes");
    dir.write("roms/Europe/Elite.nes");
    dir.makeFolder("snaps");
    ReaderSpawner spawner;
    std::optional<ReaderSpawner::Reader> reader = spawner.spawn();
    ASSERT_TRUE(reader);

    FolderRequest request;
    request.id = 9;
    request.readTree = request.readList = request.watch = true;
    request.treeRoot = request.listFolder = dir.file("roms/");
    request.watchOnly = {dir.file("snaps/")};
    send(*reader, request);
    Answer answer = receive(reader->socket.get(), 4);

    // The list comes first, then the tree, the tree again once its folders are watched (with the
    // watch, nothing having changed), then the watch of the pictures' folder.
    ASSERT_EQ(answer.dones.size(), std::size_t(4));
    EXPECT_TRUE(answer.dones[0].hasList && !answer.dones[0].hasTree);
    EXPECT_TRUE(answer.dones[1].hasTree && !answer.dones[1].hasList);
    EXPECT_TRUE(answer.dones[1].treePending && answer.dones[1].watches == 0);
    EXPECT_TRUE(answer.dones[2].hasTree && answer.dones[2].unchanged && !answer.dones[2].treePending);
    EXPECT_EQ(answer.dones[2].watches, ReaderProtocol::TreeWatch);
    EXPECT_EQ(answer.names.toVector(), (std::vector<std::string>{"Mario.nes", "Zelda.nes"}));
    EXPECT_EQ(answer.tree.folders, (std::vector<marlit::FolderNode>{{"Europe", {}}}));
    ASSERT_EQ(answer.watches.size(), std::size_t(3));

    dir.write("roms/Tetris.gb");
    EXPECT_EQ(eventsOf(answer.watches[ReaderProtocol::ListWatch]), (WatchEvents::Summary{true, false, false}));
    dir.makeFolder("roms/Europe/France"); // a folder below the root, watched by the tree
    EXPECT_TRUE(eventsOf(answer.watches[ReaderProtocol::TreeWatch]).folders);
    dir.write("snaps/Zelda.png", "picture");
    EXPECT_EQ(eventsOf(answer.watches[ReaderProtocol::OnlyWatch]).files, true);

    // The same reader takes the next request: a folder that cannot be read says why.
    FolderRequest missing;
    missing.id = 10;
    missing.readList = true;
    missing.listFolder = dir.file("gone/");
    send(*reader, missing);
    answer = receive(reader->socket.get(), 1);
    ASSERT_EQ(answer.dones.size(), std::size_t(1));
    EXPECT_EQ(answer.dones[0].id, 10u);
    EXPECT_EQ(answer.dones[0].listError, ENOENT);
    EXPECT_TRUE(answer.watches.empty());
}

// A folder made below the tree after the tree answered, before its folders were watched: the
// second answer brings the tree with it, and the watch follows the new folder too.
TEST(FolderReaderTest, ATreeChangedBeforeItsWatchComesAgain)
{
    TempDir dir;
    dir.write("roms/Europe/Elite.nes");
    FolderRequest request;
    request.readTree = request.watch = true;
    request.treeRoot = dir.file("roms/");
    std::vector<marlit::FolderListing> parts;
    FileDescriptor watch;
    marlit::FolderReader::read(request, [&](marlit::FolderListing part, FileDescriptor partWatch) {
        if (part.treePending)
            dir.makeFolder("roms/Europe/France");
        parts.push_back(std::move(part));
        if (partWatch.valid())
            watch = std::move(partWatch);
    });

    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].tree.folders, (std::vector<marlit::FolderNode>{{"Europe", {}}}));
    EXPECT_FALSE(parts[1].unchanged || parts[1].treePending);
    EXPECT_EQ(parts[1].tree.folders, (std::vector<marlit::FolderNode>{{"Europe", {{"France", {}}}}}));
    ASSERT_TRUE(watch.valid());
    dir.makeFolder("roms/Europe/France/Paris");
    EXPECT_TRUE(eventsOf(watch).folders);
}

TEST(FolderReaderTest, ReadersEndWithTheirSocketWhenKilledAndWithTheSpawner)
{
    auto spawner = std::make_unique<ReaderSpawner>();
    std::optional<ReaderSpawner::Reader> closed = spawner->spawn();
    std::optional<ReaderSpawner::Reader> killed = spawner->spawn();
    std::optional<ReaderSpawner::Reader> orphaned = spawner->spawn();
    ASSERT_TRUE(closed && killed && orphaned);
    ASSERT_TRUE(closed->pidfd.valid()) << "the kernel gives no pidfd";
    EXPECT_FALSE(readable(closed->pidfd.get(), 100));

    closed->socket.close();
    EXPECT_TRUE(ended(*closed));
    ReaderSpawner::kill(*killed);
    EXPECT_TRUE(ended(*killed));
    EXPECT_FALSE(readable(orphaned->pidfd.get(), 100));
    spawner.reset();
    EXPECT_TRUE(ended(*orphaned));
}

} // namespace

// A PlayStation folder as a user keeps it: multi-disc games with their lists, sheets with their
// tracks, save files, read-me files and a dot-file. Read by a reader process, it shows one row per
// game, in the order of the titles.
TEST(FolderReaderTest, AGeneratedCollectionShowsOneRowPerGame)
{
    TempDir dir;
    const std::string cueOf = "FILE \"%\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n";
    const auto sheet = [&](const std::string &track) {
        std::string text = cueOf;
        return text.replace(text.find('%'), 1, track);
    };
    std::string list;
    for (const char *disc : {"1", "2", "3"}) {
        const std::string name = std::string("psx/Final Fantasy VII (USA) (Disc ") + disc + ")";
        dir.write(name + ".cue", sheet(name.substr(4) + ".bin"));
        dir.write(name + ".bin", "track");
        list += name.substr(4) + ".cue\n";
    }
    dir.write("psx/Final Fantasy VII (USA).m3u", "#EXTM3U\r\n" + list);
    dir.write("psx/Crash Bandicoot (Europe).cue",
              sheet("Crash Bandicoot (Europe) (Track 1).bin") + sheet("Crash Bandicoot (Europe) (Track 2).bin"));
    dir.write("psx/Crash Bandicoot (Europe) (Track 1).bin", "track");
    dir.write("psx/Crash Bandicoot (Europe) (Track 2).bin", "track");
    dir.write("psx/Ridge Racer (Japan).cue", sheet("RIDGE RACER (JAPAN).BIN")); // written on another system
    dir.write("psx/Ridge Racer (Japan).bin", "track");
    dir.write("psx/Broken Sword (USA).m3u", "Broken Sword (USA) (Disc 1).cue\n"); // its disc is gone
    dir.write("psx/Sonic Adventure (USA).gdi", "2\n1 0 4 2352 track01.bin 0\n2 600 0 2352 \"track 02.raw\" 0\n");
    dir.write("psx/track01.bin", "track");
    dir.write("psx/track 02.raw", "track");
    dir.write("psx/Tomb Raider (Europe).ccd", "[CloneCD]\nVersion=3\n");
    dir.write("psx/Tomb Raider (Europe).img", "image");
    dir.write("psx/Tomb Raider (Europe).sub", "sub-channel");
    // A disc image named like a sheet is not read beyond the sheets' bound, and hides nothing.
    dir.write("psx/Tekken (Europe).cue", std::string(100 << 10, 'x') + "\nFILE \"Tekken (Europe).bin\" BINARY\n");
    dir.write("psx/Tekken (Europe).bin", "track");
    for (const char *other :
         {"psx/Crash Bandicoot (Europe).srm", "psx/Final Fantasy VII (USA).sav", "psx/readme.txt", "psx/.DS_Store"})
        dir.write(other, "other");

    ReaderSpawner spawner;
    std::optional<ReaderSpawner::Reader> reader = spawner.spawn();
    ASSERT_TRUE(reader);
    FolderRequest request;
    request.readList = true;
    request.listFolder = dir.file("psx/");
    request.fileTypes = {"*.cue", "*.toc", "*.ccd", "*.m3u", "*.gdi", "*.bin", "*.img"};
    send(*reader, request);
    // Shown at once with the tracks guessed from the names; corrected once the sheets are read,
    // as a sheet may name its tracks unlike itself.
    const Answer games = receive(reader->socket.get(), 2);
    ASSERT_EQ(games.dones.size(), 2u);
    EXPECT_TRUE(games.dones[0].sheetsPending);
    EXPECT_FALSE(games.dones[1].sheetsPending || games.dones[1].unchanged);
    EXPECT_EQ(
        games.guessed.toVector(),
        (std::vector<std::string>{"Broken Sword (USA).m3u", "Crash Bandicoot (Europe).cue",
                                  "Final Fantasy VII (USA).m3u", "Ridge Racer (Japan).cue", "Sonic Adventure (USA).gdi",
                                  "Tekken (Europe).cue", "Tomb Raider (Europe).ccd", "track01.bin"}));
    // The list whose disc is gone still shows, and the list says what it misses.
    EXPECT_EQ(games.missing, (marlit::MissingParts{{"Broken Sword (USA).m3u", "Broken Sword (USA) (Disc 1).cue"}}));
    EXPECT_EQ(
        games.names.toVector(),
        (std::vector<std::string>{"Broken Sword (USA).m3u", "Crash Bandicoot (Europe).cue",
                                  "Final Fantasy VII (USA).m3u", "Ridge Racer (Japan).cue", "Sonic Adventure (USA).gdi",
                                  "Tekken (Europe).bin", "Tekken (Europe).cue", "Tomb Raider (Europe).ccd"}));

    // Types unknown: every file but the dot-file, the tracks and discs still hidden; a search
    // finds by title and by file name.
    request.fileTypes.clear();
    request.search.apply("Crash");
    send(*reader, request);
    const Answer crash = receive(reader->socket.get(), 2);
    EXPECT_TRUE(crash.dones.back().unchanged); // the guess was right
    EXPECT_EQ(crash.names.toVector(),
              (std::vector<std::string>{"Crash Bandicoot (Europe).cue", "Crash Bandicoot (Europe).srm"}));
    request.search.apply(".txt");
    send(*reader, request);
    EXPECT_EQ(receive(reader->socket.get(), 1).names.toVector(), (std::vector<std::string>{"readme.txt"}));

    // A system kept in letter folders: "All Games" lists them all, each below its folder.
    for (const char *file : {"md/A/Aladdin (USA).md", "md/A/Alien 3 (Europe).md", "md/S/Sonic (World).md",
                             "md/S/Sonic (World).srm", "md/.git/Junk.md", "md/readme.md.txt"})
        dir.write(file, "game");
    ASSERT_EQ(symlink("..", dir.file("md/S/Back").c_str()), 0); // a loop is read once
    FolderRequest all;
    all.readList = all.listAll = true;
    all.listFolder = dir.file("md/");
    all.fileTypes = {"*.md"};
    send(*reader, all);
    EXPECT_EQ(receive(reader->socket.get(), 1).names.toVector(),
              (std::vector<std::string>{"A/Aladdin (USA).md", "A/Alien 3 (Europe).md", "S/Sonic (World).md"}));
    // Watched, it answers first and follows a game added in a letter folder with the watch that
    // its second answer brings, once its folders are watched.
    all.watch = true;
    send(*reader, all);
    Answer watched = receive(reader->socket.get(), 2);
    EXPECT_TRUE(watched.dones[0].sheetsPending && watched.dones[0].watches == 0);
    EXPECT_TRUE(watched.dones[1].unchanged);
    ASSERT_EQ(watched.watches.count(ReaderProtocol::ListWatch), 1u);
    dir.write("md/S/Streets of Rage (USA).md", "game");
    EXPECT_TRUE(eventsOf(watched.watches[ReaderProtocol::ListWatch]).files);
}
