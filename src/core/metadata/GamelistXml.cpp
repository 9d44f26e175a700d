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

// Parsed in place, with the text of an element kept in the element (half the nodes). No DOCTYPE
// node is kept and nothing it declares is expanded; attributes are not read.
constexpr unsigned kFlags = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_embed_pcdata;

std::string problemOf(const pugi::xml_parse_result &result, std::size_t offset)
{
    return std::string("it is not well-formed XML (") + result.description() + " at byte " +
           std::to_string(offset + static_cast<std::size_t>(result.offset)) + ")";
}

// A big list's games a piece of about kPieceBytes at a time, each piece's nodes made in the
// memory of the piece before: the nodes of a whole 50,000-game list are some 50 MB, written once
// and read once, where a piece's stay in the processor's cache (about ten times faster). Taken
// only where it reads exactly as the whole: a list in UTF-8 after a well-formed beginning, with
// nothing but white space after it. A piece is cut after a "</game>"; where that was no end of
// a game (in a comment, say), the piece fails, is put back as it was, and the rest of the list
// is read in one piece. False, with nothing changed, where it does not apply.
bool readInPieces(char *buffer, std::size_t size, GameList &list, GameReader &reader)
{
    constexpr std::size_t kPieceBytes = 256u << 10;
    constexpr std::string_view kOpen = "<gameList>";
    constexpr std::string_view kClose = "</gameList>";
    constexpr std::string_view kGameEnd = "</game>";
    const std::string_view bytes(buffer, size);
    if (size < 2 * kPieceBytes)
        return false;
    const std::size_t open = bytes.find(kOpen);
    const std::size_t close = bytes.rfind(kClose);
    if (open == std::string_view::npos || close == std::string_view::npos || close < open + kOpen.size() ||
        bytes.find_first_not_of(" \t\r\n", close + kClose.size()) != std::string_view::npos)
        return false;
    // What comes before: well-formed alone (so the list is at the top level, not in a comment),
    // in UTF-8 (a declared or detected other encoding is converted by the whole read).
    pugi::xml_document before;
    const pugi::xml_parse_result head =
        before.load_buffer(buffer, open, kFlags | pugi::parse_fragment, pugi::encoding_auto);
    if (!head || head.encoding != pugi::encoding_utf8)
        return false;

    pugi::xml_document piece;
    std::string untouched; // the piece as it was, should it have to be read again
    std::size_t at = open + kOpen.size();
    bool reserved = false;
    while (at < close) {
        std::size_t cut = close;
        if (close - at > 2 * kPieceBytes) {
            const std::size_t gameEnd = bytes.find(kGameEnd, at + kPieceBytes);
            cut = gameEnd < close ? gameEnd + kGameEnd.size() : close;
        }
        untouched.assign(buffer + at, cut - at);
        constexpr unsigned kPieceFlags = kFlags | pugi::parse_fragment;
        pugi::xml_parse_result result =
            piece.load_buffer_inplace(buffer + at, cut - at, kPieceFlags, pugi::encoding_utf8);
        if (!result && cut != close) {
            std::copy(untouched.begin(), untouched.end(), buffer + at);
            cut = close;
            result = piece.load_buffer_inplace(buffer + at, cut - at, kPieceFlags, pugi::encoding_utf8);
        }
        // A list that goes wrong gives its games before the fault, as the whole read does.
        const pugi::xml_node cutShort = result ? pugi::xml_node() : piece.last_child();
        for (const pugi::xml_node &node : piece.children("game")) {
            if (node == cutShort)
                break;
            reader.read(node);
        }
        if (!reserved && cut < close) {
            // The rest as dense in games as the first piece.
            reserved = true;
            list.reserve(list.size() * (close - open) / (cut - at) * 21 / 20);
        }
        if (!result) {
            list.problem = problemOf(result, at);
            return true;
        }
        at = cut;
    }
    return true;
}

} // namespace

GameList GamelistXml::read(std::string bytes, const std::string &romFolder, const std::string &home)
{
    GameList list;
    const std::size_t size = bytes.size();
    char *buffer = list.hold(std::move(bytes));
    GameReader reader(list, buffer, size, romFolder, home);
    if (readInPieces(buffer, size, list, reader))
        return list;

    pugi::xml_document document;
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
    for (const pugi::xml_node &node : gameList.children("game")) {
        if (node == cutShort)
            break;
        reader.read(node);
    }

    if (!result)
        list.problem = problemOf(result, 0);
    else if (!gameList)
        list.problem = "it has no <gameList> element";
    return list;
}

} // namespace marlit
