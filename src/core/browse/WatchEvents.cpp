#include "core/browse/WatchEvents.h"

#include <cstring>

#include <sys/inotify.h>

namespace marlit {

const std::uint32_t WatchEvents::kFolderMask =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
const std::uint32_t WatchEvents::kPictureMask = kFolderMask | IN_CLOSE_WRITE;

WatchEvents::Summary WatchEvents::summarise(std::string_view bytes)
{
    Summary summary;
    std::size_t offset = 0;
    while (bytes.size() - offset >= sizeof(inotify_event)) {
        inotify_event event;
        std::memcpy(&event, bytes.data() + offset, sizeof event);
        const std::size_t size = sizeof event + event.len;
        if (size > bytes.size() - offset)
            break;
        offset += size;
        if (event.mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
            summary.lost = true;
        else if (event.mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE))
            (event.mask & IN_ISDIR ? summary.folders : summary.files) = true;
    }
    return summary;
}

} // namespace marlit
