#pragma once

#include "core/metadata/GameDescription.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace marlit {

// The games one game list describes, found by the absolute path of their ROM file, and what was
// wrong with the file. A file that is partly readable gives the games read before the fault.
class GameList
{
public:
    // Adds a game for the ROM at path (absolute, normalised). A path described twice keeps the
    // first description, as the list's own front-end shows the first.
    void add(std::string romPath, GameDescription game);
    // A game described by its title alone (no file named): found by a ROM whose file name, less
    // its extension, is that title.
    void addByStem(std::string stem, GameDescription game);
    // Takes over the games of other that this list does not describe yet.
    void merge(const GameList &other);

    const GameDescription *find(std::string_view romPath) const;
    // Whether any game names a picture of its own.
    bool namesPictures() const;
    std::size_t size() const { return m_games.size(); }
    bool empty() const { return m_games.empty(); }

    // What was wrong, for the user; empty when nothing was.
    std::string problem;

private:
    std::vector<GameDescription> m_games;
    std::unordered_map<std::string, std::size_t> m_byPath;
    std::unordered_map<std::string, std::size_t> m_byStem;
};

// Game-list paths made absolute and plain: "./x.zip" and "x.zip" are read from base (a folder
// ending with the separator), "~/x" from home, "/x" as it is; "." parts, doubled separators and
// ".." (lexically) are taken out. Empty for an empty path.
std::string resolveListedPath(std::string_view path, const std::string &base, const std::string &home);

} // namespace marlit
