#pragma once

#include "core/fs/ListedPath.h"

#include "core/metadata/GameDescription.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlit {

// The games one game list describes, found by the absolute path of their ROM file, and what was
// wrong with the file. A file that is partly readable gives the games read before the fault.
//
// The list holds the text its games' views point into: a file read in place (hold) and a few
// blocks of text it keeps for them (keep). Made on one thread, then only read; moved, never copied
// (merge shares what another list holds).
class GameList
{
public:
    GameList() = default;
    GameList(GameList &&) noexcept = default;
    GameList &operator=(GameList &&) noexcept = default;
    GameList(const GameList &) = delete;
    GameList &operator=(const GameList &) = delete;

    // Takes bytes for as long as the list lives; its games may point into them, which stay where
    // they are. Gives them back to be read (and changed in place) by the caller.
    char *hold(std::string bytes);
    // Room for size bytes, not yet written (no time is spent clearing what is written next).
    char *hold(std::size_t size);
    // text, copied into what the list holds.
    std::string_view keep(std::string_view text);
    void reserve(std::size_t games);

    // Adds a game for the ROM at romPath (absolute, normalised), whose text the list holds; the
    // path is copied. A path described twice keeps the first description, as the list's own
    // front-end shows the first.
    void add(std::string_view romPath, GameDescription game);
    // A game described by its title alone (no file named): found by a ROM whose file name, less
    // its extension, is that title.
    void addByStem(std::string_view stem, GameDescription game);
    // A game's path made ready to be added: copied into the list, and its place in the look-up
    // table fetched into the processor's cache meanwhile. A table for 50,000 games is a megabyte,
    // and waiting for it was a tenth of a big list's read: a reader prepares a batch of games'
    // paths, then adds them.
    struct PreparedPath
    {
        std::string_view path;
        std::uint64_t hash;
    };
    PreparedPath prepare(std::string_view romPath);
    void add(const PreparedPath &romPath, GameDescription &&game);
    // Takes over the games of other that this list does not describe yet.
    void merge(GameList &&other);
    // Makes this (empty) list one that only gathers its games, in order, to be merged into
    // another: no look-up table is made for them (the list they go to makes its own), and find()
    // finds nothing here.
    void gatherOnly() { m_gatherOnly = true; }

    const GameDescription *find(std::string_view romPath) const;
    // Whether any game names a picture of its own.
    bool namesPictures() const { return m_namesPictures; }
    // The paths of every picture a game names, in no order; they stay where they are while the
    // list does.
    std::vector<std::string_view> namedPicturePaths() const;
    std::size_t size() const { return m_games.size(); }
    bool empty() const { return m_games.empty(); }

    // What was wrong, for the user; empty when nothing was.
    std::string problem;

private:
    // Game numbers by key (a path or a stem), open addressing over a power-of-two table: one
    // block for the whole list, where a node per game would be 50,000 small allocations. A slot
    // keeps part of its key's hash beside the game's number, so that a probe seldom reads a key.
    class Index
    {
    public:
        void reserve(std::size_t count, const std::vector<std::string_view> &keys);
        static std::uint64_t hashOf(std::string_view key);
        // The slot of key, whose hash is given: its own, or the free one where it would go.
        std::size_t slotOf(std::string_view key, std::uint64_t hash, const std::vector<std::string_view> &keys) const;
        // The number of the game found by the key of slot; none for a free slot.
        std::optional<std::uint32_t> gameAt(std::size_t slot) const;
        void prefetch(std::uint64_t hash) const;
        // Puts the game numbered game, whose key is keys[game] of the given hash, in the free slot
        // slotOf gave for it.
        void insert(std::size_t slot, std::uint64_t hash, std::uint32_t game,
                    const std::vector<std::string_view> &keys);
        bool empty() const { return m_count == 0; }

    private:
        std::vector<std::uint64_t> m_slots; // hash's upper half, game number + 1; 0: free
        std::size_t m_count = 0;
    };

    // Adds game by key, of the given hash and held by the list, unless index has it.
    void addKeyed(Index &index, std::string_view key, std::uint64_t hash, GameDescription &&game, bool byStem);
    const GameDescription *findIn(const Index &index, std::string_view key) const;

    std::vector<std::shared_ptr<void>> m_held;
    std::string *m_open = nullptr; // the block keep() appends to: never grown past its capacity
    std::vector<GameDescription> m_games;
    std::vector<std::string_view> m_keys; // each game's path or stem
    std::vector<bool> m_byStem;           // whether each game's key is a stem
    std::vector<std::uint64_t> m_hashes;  // each game's key's, where the list only gathers
    Index m_byPathIndex;
    Index m_byStemIndex;
    bool m_namesPictures = false;
    bool m_gatherOnly = false;
};

} // namespace marlit
