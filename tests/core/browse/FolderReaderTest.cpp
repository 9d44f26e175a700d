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
    marlit::RomNames names;
    marlit::FolderTree tree;
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
            } else if (frame.type == ReaderProtocol::FrameType::Tree) {
                EXPECT_TRUE(ReaderProtocol::readTree(frame.payload, id, answer.tree));
            } else if (frame.type == ReaderProtocol::FrameType::Done) {
                const auto done = ReaderProtocol::readDone(frame.payload);
                EXPECT_TRUE(done);
                if (!done)
                    return answer;
                answer.dones.push_back(*done);
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
    Answer answer = receive(reader->socket.get(), 3);

    // The list comes first, then the tree, then the watch of the pictures' folder.
    ASSERT_EQ(answer.dones.size(), std::size_t(3));
    EXPECT_TRUE(answer.dones[0].hasList && !answer.dones[0].hasTree);
    EXPECT_TRUE(answer.dones[1].hasTree && !answer.dones[1].hasList);
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
