#include "core/browse/ReaderProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using marlit::FolderNode;
using marlit::FolderRequest;
using marlit::FolderTree;
using marlit::ReaderProtocol;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string text;
    for (const int value : values)
        text.push_back(static_cast<char>(value));
    return text;
}

bool readsWhole(ReaderProtocol::FrameType type, std::string_view payload)
{
    std::uint64_t id = 0, count = 0;
    marlit::RomNames names;
    FolderTree tree;
    switch (type) {
    case ReaderProtocol::FrameType::Progress:
        return ReaderProtocol::readProgress(payload, id, count);
    case ReaderProtocol::FrameType::Names:
        return ReaderProtocol::readNames(payload, id, names);
    case ReaderProtocol::FrameType::Tree:
        return ReaderProtocol::readTree(payload, id, tree);
    case ReaderProtocol::FrameType::Done:
        return ReaderProtocol::readDone(payload).has_value();
    case ReaderProtocol::FrameType::Request:
        return ReaderProtocol::readRequest(payload).has_value();
    case ReaderProtocol::FrameType::Presence: {
        std::vector<std::uint8_t> present;
        return ReaderProtocol::readPresence(payload, id, present);
    }
    case ReaderProtocol::FrameType::MissingParts: {
        marlit::MissingParts parts;
        return ReaderProtocol::readMissingParts(payload, id, parts);
    }
    case ReaderProtocol::FrameType::Metafiles: {
        std::vector<std::string> files;
        return ReaderProtocol::readMetafiles(payload, id, files);
    }
    case ReaderProtocol::FrameType::Entries: {
        std::vector<marlit::FolderEntries> folders;
        return ReaderProtocol::readEntries(payload, id, folders);
    }
    }
    return false;
}

FolderRequest sampleRequest()
{
    FolderRequest request;
    request.id = 0x0102;
    request.readTree = true;
    request.treeRoot = "/r/";
    request.readList = true;
    request.listFolder = "/r/";
    request.search.toggleMode();
    request.search.apply("(J)");
    request.watch = true;
    request.watchOnly = {"/s/"};
    request.checkPaths = {"/r/a"};
    request.onlyIfChanged = true;
    request.listStamp = marlit::FileStamp{1, 2, 3, 4};
    request.listAll = true;
    request.fileTypes = {"*.cue"};
    request.entriesOf = "/g/";
    request.entriesDepth = 4;
    request.entriesNamedIn = true;
    request.entriesHolding = "/r/";
    request.home = "/h";
    return request;
}

TEST(ReaderProtocolTest, RequestIsFramedAsDocumented)
{
    const std::string expected = bytes({
                                     0x81, 0, 0, 0,                // payload length 129, little-endian
                                     'Q',                          // a request
                                     0x02, 0x01, 0, 0, 0, 0, 0, 0, // id 0x0102
                                     1,                            // read the tree
                                     3, 0, 0, 0,                   // of a root of 3 bytes:
                                 }) +
                                 "/r/" +
                                 bytes({
                                     1,          // read the list
                                     3, 0, 0, 0, // of a folder of 3 bytes:
                                 }) +
                                 "/r/" +
                                 bytes({
                                     1,          // filter out
                                     1,          // a text applied
                                     3, 0, 0, 0, // of 3 bytes:
                                 }) +
                                 "(J)" +
                                 bytes({
                                     1,          // watch what is read
                                     1, 0, 0, 0, // one folder watched only,
                                     3, 0, 0, 0, // of 3 bytes:
                                 }) +
                                 "/s/" +
                                 bytes({
                                     1, 0, 0, 0, // one file checked,
                                     4, 0, 0, 0, // of 4 bytes:
                                 }) +
                                 "/r/a" +
                                 bytes({
                                     1,                      // read only if changed since
                                     1,                      // the list's stamp:
                                     1, 0, 0, 0, 0, 0, 0, 0, // size 1,
                                     2, 0, 0, 0, 0, 0, 0, 0, // modified at 2 ns,
                                     3, 0, 0, 0, 0, 0, 0, 0, // device 3,
                                     4, 0, 0, 0, 0, 0, 0, 0, // inode 4;
                                     0,                      // no stamp of the tree
                                     1,                      // the list holds the sub-folders' games too
                                     1, 0, 0, 0,             // one file type,
                                     5, 0, 0, 0,             // of 5 bytes:
                                 }) +
                                 "*.cue" +
                                 bytes({
                                     0,          // the files checked are no programs
                                     3, 0, 0, 0, // entries of 3 bytes:
                                 }) +
                                 "/g/" +
                                 bytes({
                                     4,          // four levels below,
                                     1,          // a file naming the folders,
                                     3, 0, 0, 0, // those holding 3 bytes:
                                 }) +
                                 "/r/" +
                                 bytes({
                                     2, 0, 0, 0, // home, of 2 bytes:
                                 }) +
                                 "/h";
    EXPECT_EQ(ReaderProtocol::request(sampleRequest()), expected);
    ReaderProtocol::Frame frame;
    std::size_t size = 0;
    ASSERT_EQ(ReaderProtocol::split(expected, frame, size), ReaderProtocol::Split::Whole);
    EXPECT_EQ(size, expected.size());
    EXPECT_EQ(ReaderProtocol::readRequest(frame.payload), sampleRequest());
}

// An answer as a reader sends it, split again at every possible cut of the stream: whole frames
// come out as they went in, a cut frame waits for its rest, and a cut payload never reads.
TEST(ReaderProtocolTest, AnAnswerRoundTripsAndNoCutReadsPastItsEnd)
{
    std::vector<std::string> names{"", "Z\xff\xfe (bytes).nes", std::string(255, 'n')};
    for (int i = 0; i < 40'000; ++i)
        names.push_back("Game " + std::to_string(i) + ".zip"); // several frames' worth
    FolderTree tree;
    tree.cut = true;
    tree.error = 0;
    tree.folders = {FolderNode{"A", {FolderNode{"B", {FolderNode{"C", {}}}}}}, FolderNode{"\xc3\x89t\xc3\xa9", {}}};
    tree.unanswered = {"A/B/C"};
    ReaderProtocol::Done done{
        7,     true, true,  0,   ReaderProtocol::ListWatch, false, true, marlit::FileStamp{4096, -1, ~0ull, 9}, false,
        false, true, false, true};

    const marlit::RomNames sent(names);
    std::string stream = ReaderProtocol::progress(7, 12345);
    std::size_t frames = 1;
    for (std::size_t first = 0; first < sent.size(); ++frames)
        stream += ReaderProtocol::names(7, sent, first);
    stream += ReaderProtocol::tree(7, tree);
    const std::vector<std::uint8_t> present{1, 0, 1};
    stream += ReaderProtocol::presence(7, present);
    const marlit::MissingParts missing{{"A/Game (USA).m3u", "Game (USA) (Disc 2).cue"}, {"\xff.cue", ""}};
    stream += ReaderProtocol::missingParts(7, missing);
    const std::vector<std::string> metafiles{"metadata.pegasus.txt", "snes.metadata.txt", ""};
    stream += ReaderProtocol::metafiles(7, metafiles);
    // A media folder of more entries than a frame holds, then one that could not be read.
    std::vector<marlit::FolderEntries> folders{{"/m/covers/", 0, marlit::FileStamp{1, 2, 3, 4}, {}},
                                               {"/m/\xff/", 13, std::nullopt, {}}};
    for (int i = 0; i < 30'000; ++i)
        folders[0].entries.push_back({"Game " + std::to_string(i) + ".png", i % 3 == 0, i % 6 == 0});
    for (const marlit::FolderEntries &folder : folders)
        for (std::size_t first = 0; first == 0 || first < folder.entries.size(); ++frames)
            stream += ReaderProtocol::entries(7, folder, first);
    stream += ReaderProtocol::done(done);
    frames += 5;
    ASSERT_GT(frames, std::size_t(5));

    marlit::RomNames namesBack;
    FolderTree treeBack;
    std::vector<marlit::FolderEntries> foldersBack;
    std::size_t framesBack = 0;
    std::string_view rest(stream);
    for (;;) {
        ReaderProtocol::Frame frame;
        std::size_t size = 0;
        const ReaderProtocol::Split split = ReaderProtocol::split(rest, frame, size);
        if (split != ReaderProtocol::Split::Whole) {
            EXPECT_EQ(split, ReaderProtocol::Split::Incomplete);
            break;
        }
        // Every cut of this payload is refused by its reader.
        for (std::size_t cut = 0; cut < std::min<std::size_t>(frame.payload.size(), 64); ++cut)
            EXPECT_FALSE(readsWhole(frame.type, frame.payload.substr(0, cut))) << cut;
        std::uint64_t id = 0;
        switch (frame.type) {
        case ReaderProtocol::FrameType::Progress: {
            std::uint64_t count = 0;
            EXPECT_TRUE(ReaderProtocol::readProgress(frame.payload, id, count));
            EXPECT_EQ(count, 12345u);
            break;
        }
        case ReaderProtocol::FrameType::Names:
            EXPECT_LE(frame.payload.size(), ReaderProtocol::kNamesFrameBytes + 16);
            EXPECT_TRUE(ReaderProtocol::readNames(frame.payload, id, namesBack));
            break;
        case ReaderProtocol::FrameType::Tree:
            EXPECT_TRUE(ReaderProtocol::readTree(frame.payload, id, treeBack));
            break;
        case ReaderProtocol::FrameType::Done:
            EXPECT_EQ(ReaderProtocol::readDone(frame.payload), done);
            id = 7;
            break;
        case ReaderProtocol::FrameType::Request:
            ADD_FAILURE() << "a request in an answer";
            break;
        case ReaderProtocol::FrameType::Presence: {
            std::vector<std::uint8_t> presentBack;
            EXPECT_TRUE(ReaderProtocol::readPresence(frame.payload, id, presentBack));
            EXPECT_EQ(presentBack, present);
            break;
        }
        case ReaderProtocol::FrameType::MissingParts: {
            marlit::MissingParts missingBack;
            EXPECT_TRUE(ReaderProtocol::readMissingParts(frame.payload, id, missingBack));
            EXPECT_EQ(missingBack, missing);
            break;
        }
        case ReaderProtocol::FrameType::Metafiles: {
            std::vector<std::string> metafilesBack;
            EXPECT_TRUE(ReaderProtocol::readMetafiles(frame.payload, id, metafilesBack));
            EXPECT_EQ(metafilesBack, metafiles);
            break;
        }
        case ReaderProtocol::FrameType::Entries:
            EXPECT_LE(frame.payload.size(), ReaderProtocol::kNamesFrameBytes + 64);
            EXPECT_TRUE(ReaderProtocol::readEntries(frame.payload, id, foldersBack));
            break;
        }
        EXPECT_EQ(id, 7u);
        ++framesBack;
        rest.remove_prefix(size);
    }
    EXPECT_TRUE(rest.empty());
    EXPECT_EQ(framesBack, frames);
    EXPECT_EQ(namesBack.toVector(), names);
    EXPECT_EQ(namesBack, sent);
    EXPECT_EQ(treeBack, tree);
    EXPECT_EQ(foldersBack, folders);

    // Every prefix of the stream splits into whole frames and one that waits, never more.
    for (std::size_t length = 0; length < stream.size(); length += 997) {
        std::string_view prefix = std::string_view(stream).substr(0, length);
        ReaderProtocol::Frame frame;
        std::size_t size = 0;
        while (ReaderProtocol::split(prefix, frame, size) == ReaderProtocol::Split::Whole)
            prefix.remove_prefix(size);
        EXPECT_EQ(ReaderProtocol::split(prefix, frame, size), ReaderProtocol::Split::Incomplete) << length;
    }
}

TEST(ReaderProtocolTest, DamagedFramesAreRefusedWithoutHarm)
{
    ReaderProtocol::Frame frame;
    std::size_t size = 0;
    // Unknown type; a length beyond the bound (read before the bytes are there).
    EXPECT_EQ(ReaderProtocol::split(bytes({0, 0, 0, 0, 'X'}), frame, size), ReaderProtocol::Split::Malformed);
    EXPECT_EQ(ReaderProtocol::split(bytes({0, 0, 0, 0x7f, 'N'}), frame, size), ReaderProtocol::Split::Malformed);

    // A count of four billion names in a few bytes: refused, nothing reserved for it.
    std::uint64_t id = 0;
    marlit::RomNames names;
    EXPECT_FALSE(ReaderProtocol::readNames(bytes({7, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, 0, 0, 0, 0}), id, names));
    EXPECT_TRUE(names.empty());

    // A tree nested a million deep: refused before its recursion could exhaust the stack.
    std::string deep = bytes({7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (int level = 0; level < 1'000'000; ++level)
        deep += bytes({1, 0, 0, 0, 0, 0, 0, 0}); // one child with an empty name, which has...
    FolderTree tree;
    EXPECT_FALSE(ReaderProtocol::readTree(deep, id, tree));

    // A flag that is neither 0 nor 1, and bytes after the end.
    std::string request = ReaderProtocol::request(sampleRequest());
    std::string payload = request.substr(ReaderProtocol::kHeaderSize);
    payload[8] = 2;
    EXPECT_FALSE(ReaderProtocol::readRequest(payload));
    EXPECT_FALSE(ReaderProtocol::readRequest(request.substr(ReaderProtocol::kHeaderSize) + 'x'));
}

} // namespace
