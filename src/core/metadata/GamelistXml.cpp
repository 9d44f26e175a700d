#include "core/metadata/GamelistXml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace marlit {

namespace {

// The picture elements of a <game> and the media kinds they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kPictureElements{{
    {"thumbnail", "covers"},
    {"image", "screenshots"},
    {"marquee", "marquees"},
}};

// The elements of a <game> that are read; a game's first of each counts, as its front-end reads it.
enum Field : unsigned {
    Path,
    Name,
    Desc,
    Developer,
    Publisher,
    Genre,
    Players,
    ReleaseDate,
    Rating,
    PlayCount,
    LastPlayed,
    Favorite,
    Thumbnail,
    Image,
    Marquee,
    kFieldCount
};
constexpr std::array<std::string_view, kFieldCount> kFieldNames{
    "path",   "name",      "desc",       "developer", "publisher", "genre", "players", "releasedate",
    "rating", "playcount", "lastplayed", "favorite",  "thumbnail", "image", "marquee",
};

int toInt(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : 0;
}

bool isDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "19910623T000000" gives "1991-06-23" in shown (its length is returned); a date without day or
// month keeps what it has. Gives 0 for no date.
std::size_t readReleaseDate(std::string_view text, GameDescription &game, std::array<char, 10> &shown)
{
    const std::string_view date = text.substr(0, text.find('T'));
    if (date.size() < 4 || !isDigits(date.substr(0, 4)))
        return 0;
    game.releaseYear = toInt(date.substr(0, 4));
    // The first day of 1970 (the clock's zero) is what some scrapers write for "not known".
    if (game.releaseYear <= 1900 || date.substr(0, 8) == "19700101") {
        game.releaseYear = 0;
        return 0;
    }
    std::size_t length = 4;
    std::copy_n(date.begin(), 4, shown.begin());
    for (const std::size_t part : {std::size_t{4}, std::size_t{6}}) {
        if (date.size() < part + 2 || !isDigits(date.substr(part, 2)))
            break;
        shown[length++] = '-';
        shown[length++] = date[part];
        shown[length++] = date[part + 1];
    }
    return length;
}

// "0.8" gives 80; values outside 0 to 1 are not ratings.
int ratingPercent(std::string_view text)
{
    if (text.empty())
        return -1;
    double value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || stop == text.data() || !(value >= 0.0 && value <= 1.0))
        return -1;
    return static_cast<int>(std::lround(value * 100.0));
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Reads the games of <gameList> into list, their text pointing into buffer where it lies there.
class GameReader
{
public:
    GameReader(GameList &list, char *buffer, std::size_t size, const std::string &romFolder, const std::string &home)
        : m_list(list), m_buffer(buffer), m_end(buffer + size), m_romFolder(romFolder), m_home(home)
    {
    }

    void read(const pugi::xml_node &node)
    {
        std::array<std::string_view, kFieldCount> values{};
        unsigned seen = 0;
        for (pugi::xml_node field = node.first_child(); field; field = field.next_sibling()) {
            if (field.type() != pugi::node_element)
                continue;
            const std::string_view name = field.name();
            const auto known = std::find(kFieldNames.begin(), kFieldNames.end(), name);
            const auto index = static_cast<unsigned>(known - kFieldNames.begin());
            if (known == kFieldNames.end() || (seen & (1u << index)) != 0)
                continue;
            seen |= 1u << index;
            values[index] = trimmed(field.child_value());
        }
        resolveListedPath(values[Path], m_romFolder, m_home, m_path, m_scratch);
        if (m_path.empty() || m_path.back() == '/')
            return;

        GameDescription game;
        game.title = held(values[Name]);
        game.description = held(values[Desc]);
        game.developer = held(values[Developer]);
        game.publisher = held(values[Publisher]);
        game.genre = held(values[Genre]);
        game.players = held(values[Players]);
        std::array<char, 10> date{};
        if (const std::size_t length = readReleaseDate(values[ReleaseDate], game, date))
            game.releaseDate = rewritten(values[ReleaseDate], std::string_view(date.data(), length));
        game.ratingPercent = ratingPercent(values[Rating]);
        game.playCount = std::max(0, toInt(values[PlayCount]));
        if (values[LastPlayed].size() >= 8 && isDigits(values[LastPlayed].substr(0, 8)))
            game.lastPlayed = held(values[LastPlayed]);
        game.favourite = values[Favorite] == "true";
        for (unsigned picture = 0; picture < kPictureElements.size(); ++picture) {
            const std::string_view path = values[Thumbnail + picture];
            if (path.empty())
                continue;
            game.pictures.push_back({std::string(kPictureElements[picture].second), {}});
            resolveListedPath(path, m_romFolder, m_home, game.pictures.back().path, m_scratch);
        }
        m_list.add(m_path, game);
    }

private:
    // Text in the buffer the list holds is taken as it lies; text the parser made elsewhere (a
    // file in another encoding, converted) is copied into the list.
    std::string_view held(std::string_view text) const
    {
        if (text.empty() || (text.data() >= m_buffer && text.data() + text.size() <= m_end))
            return text;
        return m_list.keep(text);
    }

    // text, the raw form of a value in the buffer, written over with shown where it is long
    // enough (the raw form is not needed again); else shown is kept by the list.
    std::string_view rewritten(std::string_view text, std::string_view shown)
    {
        if (text.size() < shown.size() || text.data() < m_buffer || text.data() + text.size() > m_end)
            return m_list.keep(shown);
        char *at = m_buffer + (text.data() - m_buffer);
        std::copy(shown.begin(), shown.end(), at);
        return std::string_view(at, shown.size());
    }

    GameList &m_list;
    char *m_buffer;
    const char *m_end;
    const std::string &m_romFolder;
    const std::string &m_home;
    std::string m_path;
    std::string m_scratch;
};

} // namespace

GameList GamelistXml::read(std::string bytes, const std::string &romFolder, const std::string &home)
{
    GameList list;
    const std::size_t size = bytes.size();
    char *buffer = list.hold(std::move(bytes));
    pugi::xml_document document;
    // Parsed in place, with the text of an element kept in the element (half the nodes). No
    // DOCTYPE node is kept and nothing it declares is expanded; attributes are not read.
    constexpr unsigned kFlags = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_embed_pcdata;
    const pugi::xml_parse_result result = document.load_buffer_inplace(buffer, size, kFlags, pugi::encoding_auto);

    // The games read before a fault are in the tree all the same.
    pugi::xml_node gameList;
    for (const pugi::xml_node &node : document.children())
        if (node.type() == pugi::node_element && std::strcmp(node.name(), "gameList") == 0) {
            gameList = node;
            break;
        }
    // A file that breaks off leaves its last game cut short: only whole games are taken.
    const pugi::xml_node cutShort = result ? pugi::xml_node() : gameList.last_child();
    std::size_t games = 0;
    for (const pugi::xml_node &node : gameList.children("game"))
        games += node != cutShort ? 1 : 0;
    list.reserve(games);
    GameReader reader(list, buffer, size, romFolder, home);
    for (const pugi::xml_node &node : gameList.children("game")) {
        if (node == cutShort)
            break;
        reader.read(node);
    }

    if (!result)
        list.problem = std::string("it is not well-formed XML (") + result.description() + " at byte " +
                       std::to_string(result.offset) + ")";
    else if (!gameList)
        list.problem = "it has no <gameList> element";
    return list;
}

} // namespace marlit
