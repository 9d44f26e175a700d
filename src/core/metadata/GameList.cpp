#include "core/metadata/GameList.h"

#include "core/fs/HugePages.h"
#include "core/fs/Paths.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace marlit {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

std::string_view stemOf(std::string_view path)
{
    const std::size_t slash = path.rfind(kPathSeparator);
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    return name;
}

} // namespace

std::uint64_t GameList::Index::hashOf(std::string_view key)
{
    return std::hash<std::string_view>{}(key);
}

void GameList::Index::reserve(std::size_t count, const std::vector<std::string_view> &keys)
{
    std::size_t size = 16;
    while (size < 2 * count) // at most half full: probes stay short
        size *= 2;
    if (size <= m_slots.size())
        return;
    const std::vector<std::uint64_t> old = std::exchange(m_slots, std::vector<std::uint64_t>(size, 0));
    for (const std::uint64_t slot : old)
        if (slot != 0) {
            const std::string_view key = keys[(slot & 0xFFFFFFFFu) - 1];
            m_slots[slotOf(key, hashOf(key), keys)] = slot;
        }
}

std::size_t GameList::Index::slotOf(std::string_view key, std::uint64_t hash,
                                    const std::vector<std::string_view> &keys) const
{
    if (m_slots.empty())
        return 0;
    const std::uint64_t tag = hash >> 32 << 32;
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = static_cast<std::size_t>(hash) & mask;
    for (; m_slots[slot] != 0; slot = (slot + 1) & mask)
        if ((m_slots[slot] & ~std::uint64_t{0xFFFFFFFFu}) == tag && keys[(m_slots[slot] & 0xFFFFFFFFu) - 1] == key)
            break;
    return slot;
}

std::optional<std::uint32_t> GameList::Index::gameAt(std::size_t slot) const
{
    if (slot >= m_slots.size() || m_slots[slot] == 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(m_slots[slot] & 0xFFFFFFFFu) - 1;
}

void GameList::Index::prefetch(std::uint64_t hash) const
{
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[static_cast<std::size_t>(hash) & (m_slots.size() - 1)]);
}

void GameList::Index::insert(std::size_t slot, std::uint64_t hash, std::uint32_t game,
                             const std::vector<std::string_view> &keys)
{
    if (2 * (m_count + 1) > m_slots.size()) {
        reserve(m_count + 1, keys);
        slot = slotOf(keys[game], hash, keys);
    }
    m_slots[slot] = (hash >> 32 << 32) | (std::uint64_t{game} + 1);
    ++m_count;
}

char *GameList::hold(std::string bytes)
{
    // The string's object stays in its own allocation, so its characters never move, however
    // short they are.
    auto held = std::make_shared<std::string>(std::move(bytes));
    char *data = held->data();
    m_held.push_back(std::move(held));
    return data;
}

char *GameList::hold(std::size_t size)
{
    std::shared_ptr<char[]> held = std::make_shared_for_overwrite<char[]>(size);
    adviseHugePages(held.get(), size);
    char *data = held.get();
    m_held.push_back(std::move(held));
    return data;
}

std::string_view GameList::keep(std::string_view text)
{
    if (text.empty())
        return {};
    if (!m_open || m_open->capacity() - m_open->size() < text.size()) {
        auto block = std::make_shared<std::string>();
        block->reserve(std::max(kBlockBytes, text.size()));
        m_open = block.get();
        m_held.push_back(std::move(block));
    }
    const std::size_t at = m_open->size();
    m_open->append(text); // within its capacity: what was kept before stays where it is
    return std::string_view(m_open->data() + at, text.size());
}

void GameList::reserve(std::size_t games)
{
    const std::size_t had = m_games.capacity();
    m_games.reserve(games);
    if (m_games.capacity() != had) // fresh memory, written next
        adviseHugePages(m_games.data() + m_games.size(),
                        (m_games.capacity() - m_games.size()) * sizeof(GameDescription));
    m_keys.reserve(games);
    m_byStem.reserve(games);
    if (m_gatherOnly)
        m_hashes.reserve(games);
    else
        m_byPathIndex.reserve(games, m_keys);
}

void GameList::addKeyed(Index &index, std::string_view key, std::uint64_t hash, GameDescription &&game, bool byStem)
{
    if (key.empty())
        return;
    std::size_t slot = 0;
    if (m_gatherOnly) {
        m_hashes.push_back(hash);
    } else {
        slot = index.slotOf(key, hash, m_keys);
        if (index.gameAt(slot))
            return;
    }
    m_namesPictures = m_namesPictures || !game.pictures.empty();
    m_keys.push_back(key);
    m_byStem.push_back(byStem);
    m_games.push_back(std::move(game));
    if (!m_gatherOnly)
        index.insert(slot, hash, static_cast<std::uint32_t>(m_games.size() - 1), m_keys);
}

GameList::PreparedPath GameList::prepare(std::string_view romPath)
{
    const std::uint64_t hash = Index::hashOf(romPath);
    m_byPathIndex.prefetch(hash);
    return {keep(romPath), hash};
}

void GameList::add(const PreparedPath &romPath, GameDescription &&game)
{
    addKeyed(m_byPathIndex, romPath.path, romPath.hash, std::move(game), false);
}

void GameList::add(std::string_view romPath, GameDescription game)
{
    add(prepare(romPath), std::move(game));
}

void GameList::addByStem(std::string_view stem, GameDescription game)
{
    addKeyed(m_byStemIndex, keep(stem), Index::hashOf(stem), std::move(game), true);
}

void GameList::merge(GameList &&other)
{
    // The other's games point into what it holds: held here too, no text is copied.
    m_held.insert(m_held.end(), other.m_held.begin(), other.m_held.end());
    reserve(m_games.size() + other.m_games.size());
    // Hashed and fetched a batch ahead, as a reader does.
    constexpr std::size_t kBatch = 256;
    std::vector<std::uint64_t> hashes;
    for (std::size_t first = 0; first < other.m_games.size(); first += kBatch) {
        const std::size_t end = std::min(first + kBatch, other.m_games.size());
        hashes.clear();
        for (std::size_t game = first; game < end; ++game) {
            hashes.push_back(other.m_gatherOnly ? other.m_hashes[game] : Index::hashOf(other.m_keys[game]));
            (other.m_byStem[game] ? m_byStemIndex : m_byPathIndex).prefetch(hashes.back());
        }
        for (std::size_t game = first; game < end; ++game) {
            const bool byStem = other.m_byStem[game];
            addKeyed(byStem ? m_byStemIndex : m_byPathIndex, other.m_keys[game], hashes[game - first],
                     std::move(other.m_games[game]), byStem);
        }
    }
    other = GameList();
}

std::vector<std::string_view> GameList::namedPicturePaths() const
{
    std::vector<std::string_view> paths;
    if (!m_namesPictures)
        return paths;
    for (const GameDescription &game : m_games)
        for (const NamedPicture &picture : game.pictures)
            paths.push_back(picture.path);
    return paths;
}

const GameDescription *GameList::findIn(const Index &index, std::string_view key) const
{
    if (index.empty())
        return nullptr;
    const std::optional<std::uint32_t> game = index.gameAt(index.slotOf(key, Index::hashOf(key), m_keys));
    return game ? &m_games[*game] : nullptr;
}

const GameDescription *GameList::find(std::string_view romPath) const
{
    if (const GameDescription *game = findIn(m_byPathIndex, romPath))
        return game;
    return findIn(m_byStemIndex, stemOf(romPath));
}

} // namespace marlit
