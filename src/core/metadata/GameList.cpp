#include "core/metadata/GameList.h"

#include "core/fs/Paths.h"

namespace marlit {

namespace {

std::string stemOf(std::string_view path)
{
    const std::size_t slash = path.rfind(kPathSeparator);
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    return std::string(name);
}

} // namespace

void GameList::add(std::string romPath, GameDescription game)
{
    if (romPath.empty() || m_byPath.count(romPath) != 0)
        return;
    m_byPath.emplace(std::move(romPath), m_games.size());
    m_games.push_back(std::move(game));
}

void GameList::addByStem(std::string stem, GameDescription game)
{
    if (stem.empty() || m_byStem.count(stem) != 0)
        return;
    m_byStem.emplace(std::move(stem), m_games.size());
    m_games.push_back(std::move(game));
}

void GameList::merge(const GameList &other)
{
    for (const auto &[path, index] : other.m_byPath)
        add(path, other.m_games[index]);
    for (const auto &[stem, index] : other.m_byStem)
        addByStem(stem, other.m_games[index]);
}

const GameDescription *GameList::find(std::string_view romPath) const
{
    if (const auto found = m_byPath.find(std::string(romPath)); found != m_byPath.end())
        return &m_games[found->second];
    if (m_byStem.empty())
        return nullptr;
    if (const auto found = m_byStem.find(stemOf(romPath)); found != m_byStem.end())
        return &m_games[found->second];
    return nullptr;
}

bool GameList::namesPictures() const
{
    for (const GameDescription &game : m_games)
        if (!game.pictures.empty())
            return true;
    return false;
}

std::string resolveListedPath(std::string_view path, const std::string &base, const std::string &home)
{
    if (path.empty())
        return {};
    std::string joined;
    if (path.front() == kPathSeparator)
        joined = std::string(path);
    else if (path.size() >= 2 && path[0] == '~' && path[1] == kPathSeparator)
        joined = withTrailingSeparator(home) + std::string(path.substr(2));
    else
        joined = withTrailingSeparator(base) + std::string(path);

    // Lexical clean-up, part by part; ".." never climbs above the root.
    std::vector<std::string_view> parts;
    std::string_view rest(joined);
    while (!rest.empty()) {
        const std::size_t slash = rest.find(kPathSeparator);
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    // A ROM folder given relative to the working directory gives relative paths, as its ROMs have.
    const bool absolute = joined.front() == kPathSeparator;
    std::string clean;
    clean.reserve(joined.size());
    for (const std::string_view part : parts) {
        if (absolute || !clean.empty())
            clean.push_back(kPathSeparator);
        clean.append(part);
    }
    if (clean.empty())
        return absolute ? std::string(1, kPathSeparator) : std::string();
    if (joined.back() == kPathSeparator)
        clean.push_back(kPathSeparator);
    return clean;
}

} // namespace marlit
