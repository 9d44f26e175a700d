#include "core/browse/ReaderProtocol.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

// The window reads whatever a reader process sends: any bytes must split and decode without
// reading past their end, and whatever decodes must encode to the very bytes it came from.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using marlit::ReaderProtocol;
    std::string_view rest(reinterpret_cast<const char *>(data), size);
    std::vector<marlit::FolderEntries> folders;
    ReaderProtocol::Frame frame;
    std::size_t frameSize = 0;
    while (ReaderProtocol::split(rest, frame, frameSize) == ReaderProtocol::Split::Whole) {
        const std::string_view whole = rest.substr(0, frameSize);
        std::uint64_t id = 0;
        switch (frame.type) {
        case ReaderProtocol::FrameType::Request:
            if (const auto request = ReaderProtocol::readRequest(frame.payload)) {
                // The text of a search that is not applied is not carried over: it reads as ".".
                if (request->search.applied() && ReaderProtocol::request(*request) != whole)
                    fail("a request changed on its way back");
            }
            break;
        case ReaderProtocol::FrameType::Progress: {
            std::uint64_t count = 0;
            if (ReaderProtocol::readProgress(frame.payload, id, count) && ReaderProtocol::progress(id, count) != whole)
                fail("a progress frame changed on its way back");
            break;
        }
        case ReaderProtocol::FrameType::Names: {
            // A list may come back in frames cut elsewhere, but with the same names.
            marlit::RomNames names;
            if (!ReaderProtocol::readNames(frame.payload, id, names))
                break;
            marlit::RomNames back;
            for (std::size_t first = 0; first < names.size();) {
                const std::string again = ReaderProtocol::names(id, names, first);
                std::uint64_t againId = 0;
                if (!ReaderProtocol::readNames(std::string_view(again).substr(ReaderProtocol::kHeaderSize), againId,
                                               back) ||
                    againId != id)
                    fail("names written back do not read");
            }
            if (!(back == names))
                fail("names changed on their way back");
            break;
        }
        case ReaderProtocol::FrameType::Tree: {
            marlit::FolderTree tree;
            if (ReaderProtocol::readTree(frame.payload, id, tree) && ReaderProtocol::tree(id, tree) != whole)
                fail("a tree changed on its way back");
            break;
        }
        case ReaderProtocol::FrameType::Done:
            if (const auto done = ReaderProtocol::readDone(frame.payload); done && ReaderProtocol::done(*done) != whole)
                fail("a done frame changed on its way back");
            break;
        case ReaderProtocol::FrameType::Presence: {
            std::vector<std::uint8_t> present;
            if (ReaderProtocol::readPresence(frame.payload, id, present) &&
                ReaderProtocol::presence(id, present) != whole)
                fail("a presence frame changed on its way back");
            break;
        }
        case ReaderProtocol::FrameType::MissingParts: {
            // One frame holds at most a names frame's worth; a bigger one is sent cut.
            marlit::MissingParts parts;
            if (ReaderProtocol::readMissingParts(frame.payload, id, parts) &&
                whole.size() < ReaderProtocol::kNamesFrameBytes && ReaderProtocol::missingParts(id, parts) != whole)
                fail("a missing parts frame changed on its way back");
            break;
        }
        case ReaderProtocol::FrameType::Metafiles: {
            std::vector<std::string> files;
            if (ReaderProtocol::readMetafiles(frame.payload, id, files) &&
                whole.size() < ReaderProtocol::kNamesFrameBytes && ReaderProtocol::metafiles(id, files) != whole)
                fail("a metafiles frame changed on its way back");
            break;
        }
        case ReaderProtocol::FrameType::Entries: {
            // Kept over the frames, so that a frame going on with the one before is tried too.
            const bool goesOn = frame.payload.size() > 8 && frame.payload[8] != 0;
            if (ReaderProtocol::readEntries(frame.payload, id, folders) && !goesOn &&
                whole.size() < ReaderProtocol::kNamesFrameBytes) {
                std::size_t first = 0;
                if (ReaderProtocol::entries(id, folders.back(), first) != whole)
                    fail("an entries frame changed on its way back");
            }
            break;
        }
        }
        rest.remove_prefix(frameSize);
    }
    return 0;
}
