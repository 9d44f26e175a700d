#include "core/ui/WindowStartSize.h"

#include <algorithm>

namespace marlit {

namespace {

// The one length along an axis: what is asked for, no less than least, no more than room.
int fit(int asked, int least, int room)
{
    return std::clamp(asked, std::min(least, room), room);
}

} // namespace

WindowStartSize WindowStartSize::choose(std::optional<PixelSize> remembered, PixelSize available, PixelSize frame,
                                        PixelSize minimum)
{
    const PixelSize room{std::max(1, available.width - std::max(0, frame.width)),
                         std::max(1, available.height - std::max(0, frame.height))};
    const PixelSize asked = remembered ? *remembered : PixelSize{room.width / 4 * 3, room.height / 4 * 3};
    WindowStartSize result;
    result.client = {fit(asked.width, minimum.width, room.width), fit(asked.height, minimum.height, room.height)};
    result.minimum = {std::min(minimum.width, room.width), std::min(minimum.height, room.height)};
    return result;
}

} // namespace marlit
