#pragma once

#include <string_view>

namespace marlit {

// Whether a file name is one of Pegasus' metafiles': "metadata.pegasus.txt" and "metadata.txt",
// alone or after a name and a dot ("snes.metadata.pegasus.txt"). The folder readers tell those of
// a listed folder apart from its ROMs, which a search or the system's file types narrow.
inline bool isPegasusMetafileName(std::string_view name)
{
    const auto endsWith = [&](std::string_view end) {
        return name.size() > end.size() && name.substr(name.size() - end.size()) == end;
    };
    return name == "metadata.pegasus.txt" || name == "metadata.txt" || endsWith(".metadata.pegasus.txt") ||
           endsWith(".metadata.txt");
}

} // namespace marlit
