#include "core/metadata/GameCollection.h"

namespace marlit {

std::string GameCollection::picture(const std::string &romPath, const std::vector<std::string> &kinds) const
{
    const GameDescription *game = describe(romPath);
    // Media folders name pictures by the ROM's path in the ROM folder, less its extension.
    std::string_view stem = romPath;
    if (stem.substr(0, romFolder.size()) == romFolder)
        stem.remove_prefix(romFolder.size());
    const std::size_t slash = stem.rfind('/');
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1))
        stem = stem.substr(0, dot);
    // The media folders first: they are what the front-ends keep current, where the paths a
    // list names are often left from an older scrape and gone.
    for (const std::string &kind : kinds) {
        if (const std::string &found = media.find(kind, stem); !found.empty())
            return found;
        // Pegasus names a game's media folder after the game ("media/<game>/"), as often as
        // after its file.
        if (game && !game->title.empty())
            if (const std::string &found = media.find(kind, game->title); !found.empty())
                return found;
        if (game)
            for (const NamedPicture &named : game->pictures)
                if (named.kind == kind)
                    return named.path;
    }
    return {};
}

} // namespace marlit
