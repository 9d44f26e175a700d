#include "core/metadata/GamelistXml.h"

#include <pugixml.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace marlit {

namespace {

// The picture elements of a <game> and the media kinds they stand for.
constexpr std::array<std::pair<const char *, const char *>, 3> kPictureElements{{
    {"thumbnail", "covers"},
    {"image", "screenshots"},
    {"marquee", "marquees"},
}};

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

// "19910623T000000" gives "1991-06-23"; a date without day or month keeps what it has.
void readReleaseDate(std::string_view text, GameDescription &game)
{
    const std::string_view date = text.substr(0, text.find('T'));
    if (date.size() < 4 || !isDigits(date.substr(0, 4)))
        return;
    game.releaseYear = toInt(date.substr(0, 4));
    // The first day of 1970 (the clock's zero) is what some scrapers write for "not known".
    if (game.releaseYear <= 1900 || date.substr(0, 8) == "19700101") {
        game.releaseYear = 0;
        return;
    }
    game.releaseDate = std::string(date.substr(0, 4));
    for (const std::size_t part : {std::size_t{4}, std::size_t{6}}) {
        if (date.size() < part + 2 || !isDigits(date.substr(part, 2)))
            break;
        game.releaseDate.push_back('-');
        game.releaseDate.append(date.substr(part, 2));
    }
}

// "0.8" gives 80; values outside 0 to 1 are not ratings.
int ratingPercent(const char *text)
{
    if (!*text)
        return -1;
    double value = 0;
    const char *end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop == text || !(value >= 0.0 && value <= 1.0))
        return -1;
    return static_cast<int>(std::lround(value * 100.0));
}

std::string trimmed(const char *text)
{
    std::string_view view(text);
    const std::size_t first = view.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = view.find_last_not_of(" \t\r\n");
    return std::string(view.substr(first, last - first + 1));
}

GameDescription readGame(const pugi::xml_node &node, const std::string &romFolder, const std::string &home)
{
    GameDescription game;
    game.title = trimmed(node.child_value("name"));
    game.description = trimmed(node.child_value("desc"));
    game.developer = trimmed(node.child_value("developer"));
    game.publisher = trimmed(node.child_value("publisher"));
    game.genre = trimmed(node.child_value("genre"));
    game.players = trimmed(node.child_value("players"));
    readReleaseDate(trimmed(node.child_value("releasedate")), game);
    game.ratingPercent = ratingPercent(trimmed(node.child_value("rating")).c_str());
    game.playCount = std::max(0, toInt(trimmed(node.child_value("playcount"))));
    const std::string lastPlayed = trimmed(node.child_value("lastplayed"));
    if (lastPlayed.size() >= 8 && isDigits(std::string_view(lastPlayed).substr(0, 8)))
        game.lastPlayed = lastPlayed;
    game.favourite = trimmed(node.child_value("favorite")) == "true";
    for (const auto &[element, kind] : kPictureElements) {
        const std::string path = trimmed(node.child_value(element));
        if (!path.empty())
            game.pictures.push_back({kind, resolveListedPath(path, romFolder, home)});
    }
    return game;
}

} // namespace

GameList GamelistXml::read(std::string_view bytes, const std::string &romFolder, const std::string &home)
{
    GameList list;
    pugi::xml_document document;
    // The default parse: no DOCTYPE node is kept and nothing it declares is expanded.
    const pugi::xml_parse_result result =
        document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);

    // The games read before a fault are in the tree all the same.
    pugi::xml_node gameList;
    for (const pugi::xml_node &node : document.children())
        if (node.type() == pugi::node_element && std::strcmp(node.name(), "gameList") == 0) {
            gameList = node;
            break;
        }
    // A file that breaks off leaves its last game cut short: only whole games are taken.
    const pugi::xml_node cutShort = result ? pugi::xml_node() : gameList.last_child();
    for (const pugi::xml_node &node : gameList.children("game")) {
        if (node == cutShort)
            break;
        const std::string path = resolveListedPath(trimmed(node.child_value("path")), romFolder, home);
        if (!path.empty() && path.back() != '/')
            list.add(path, readGame(node, romFolder, home));
    }

    if (!result)
        list.problem = std::string("it is not well-formed XML (") + result.description() + " at byte " +
                       std::to_string(result.offset) + ")";
    else if (!gameList)
        list.problem = "it has no <gameList> element";
    return list;
}

} // namespace marlit
