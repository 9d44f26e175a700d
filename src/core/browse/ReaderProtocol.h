#pragma once

#include "core/browse/FolderListing.h"
#include "core/browse/FolderRequest.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// The bytes that pass between the window and a folder reader process. Everything is a frame:
// a 4-byte little-endian payload length, a type byte, the payload. Numbers are little-endian,
// texts a 4-byte length and their bytes. The window sends one Request; the reader answers with
// Progress frames while it reads, then the Tree and the Names (in several frames, so that the
// window decodes a long list a piece at a time), the Entries of folders listed for the game
// lists, and last Done, which carries the inotify
// descriptors of a watched read. Every reader of a frame checks its length against what it
// holds: a cut or damaged frame reads as malformed, never past its end.
class ReaderProtocol
{
public:
    enum class FrameType : std::uint8_t {
        Request = 'Q',
        Progress = 'P',
        Names = 'N',
        Tree = 'T',
        Done = 'D',
        Presence = 'E',
        MissingParts = 'M',
        Metafiles = 'F',
        Entries = 'L',
    };
    static constexpr std::size_t kHeaderSize = 5;
    static constexpr std::uint32_t kMaxPayload = 64u << 20;
    // A names frame is closed once it holds this many bytes.
    static constexpr std::size_t kNamesFrameBytes = 256u << 10;

    // Which inotify descriptor comes with Done.
    enum Watches : std::uint8_t { TreeWatch = 1, ListWatch = 2, OnlyWatch = 4, CheckWatch = 8 };

    struct Frame
    {
        FrameType type{};
        std::string_view payload;
    };
    enum class Split { Whole, Incomplete, Malformed };
    // The frame at the start of bytes and its whole size; Incomplete while bytes hold only part
    // of it; Malformed for an unknown type or a length beyond kMaxPayload.
    static Split split(std::string_view bytes, Frame &frame, std::size_t &frameSize);

    struct Done
    {
        std::uint64_t id = 0;
        bool hasTree = false;
        bool hasList = false;
        int listError = 0;
        std::uint8_t watches = 0;
        bool hasCheck = false;
        bool hasEntries = false;
        // As in FolderListing.
        std::optional<FileStamp> stamp;
        bool unchanged = false;
        bool tellsChanges = true;
        bool watchRefused = false;
        bool sheetsPending = false;
        bool treePending = false;

        bool operator==(const Done &) const = default;
    };

    // Whole frames, header included.
    static std::string request(const FolderRequest &request);
    static std::string progress(std::uint64_t id, std::uint64_t count);
    // The names from first on that fit in one frame; first is moved past them. A names frame
    // holds the count, each name's length, then all their bytes, so that it is taken whole.
    static std::string names(std::uint64_t id, const RomNames &names, std::size_t &first);
    static std::string tree(std::uint64_t id, const FolderTree &tree);
    static std::string done(const Done &done);
    // One byte per checked path, 1 for one that is there.
    static std::string presence(std::uint64_t id, const std::vector<std::uint8_t> &present);
    // The list's sheets that name files their folders do not hold, each with the file; at most
    // what fits in one frame (a list that misses more says the first ones).
    static std::string missingParts(std::uint64_t id, const MissingParts &parts);
    // The listed folder's Pegasus metafiles; at most what fits in one frame.
    static std::string metafiles(std::uint64_t id, const std::vector<std::string> &names);

    // Of folder's entries, those from first on that fit in one frame (at least one frame a folder,
    // however many or few); first is moved past them.
    static std::string entries(std::uint64_t id, const FolderEntries &folder, std::size_t &first);

    // Payload readers; nothing, or false, for a malformed payload.
    static std::optional<FolderRequest> readRequest(std::string_view payload);
    static bool readProgress(std::string_view payload, std::uint64_t &id, std::uint64_t &count);
    // Appends the frame's names to names.
    static bool readNames(std::string_view payload, std::uint64_t &id, RomNames &names);
    static bool readTree(std::string_view payload, std::uint64_t &id, FolderTree &tree);
    static std::optional<Done> readDone(std::string_view payload);
    static bool readPresence(std::string_view payload, std::uint64_t &id, std::vector<std::uint8_t> &present);
    static bool readMissingParts(std::string_view payload, std::uint64_t &id, MissingParts &parts);
    static bool readMetafiles(std::string_view payload, std::uint64_t &id, std::vector<std::string> &names);
    // Appends the frame's folder to folders, or its entries to the last one when the frame goes
    // on with it.
    static bool readEntries(std::string_view payload, std::uint64_t &id, std::vector<FolderEntries> &folders);
};

} // namespace marlit
