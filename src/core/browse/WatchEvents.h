#pragma once

#include <cstdint>
#include <string_view>

namespace marlit {

// What a batch of inotify events read from a watch says about the folders it watches.
class WatchEvents
{
public:
    // Names coming and going in a folder, and the folder itself going.
    static const std::uint32_t kFolderMask;
    // The same, and files written to their end: a picture copied in is whole only then.
    static const std::uint32_t kPictureMask;

    struct Summary
    {
        bool files = false;   // a name that is not a folder came, went or was written
        bool folders = false; // a sub-folder came or went
        bool lost = false;    // a watched folder went, or the queue overflowed: anything may differ

        bool any() const { return files || folders || lost; }
        bool operator==(const Summary &) const = default;
    };

    // Sums up the events in bytes, as read() from an inotify descriptor gives them (whole events
    // only; a cut one at the end is ignored).
    static Summary summarise(std::string_view bytes);
};

} // namespace marlit
