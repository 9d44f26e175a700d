#include "core/metadata/GamelistXml.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>

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

// The field an element's name stands for; kFieldCount for none. Runs for every element of lists
// of tens of thousands of games: the first letter rules out most names before a comparison.
unsigned fieldOf(const char *name)
{
    constexpr std::size_t kLongest = 11;
    std::size_t length = 0;
    while (name[length] != '\0' && length <= kLongest)
        ++length;
    for (unsigned field = 0; field < kFieldCount; ++field) {
        const std::string_view known = kFieldNames[field];
        if (known.size() == length && known[0] == name[0] && std::memcmp(name, known.data(), length) == 0)
            return field;
    }
    return kFieldCount;
}

int toInt(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : 0;
}

bool isDigits(std::string_view text)
{
    // Not find_first_not_of: that searches the set once per character, a call each.
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
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

std::string_view trimmed(const char *text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (space(*text))
        ++text;
    std::size_t size = std::strlen(text);
    while (size > 0 && space(text[size - 1]))
        --size;
    return std::string_view(text, size);
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
        // Only elements have a name (CDATA within a game has none): no look at each child's type.
        for (pugi::xml_node field = node.first_child(); field; field = field.next_sibling()) {
            const unsigned index = fieldOf(field.name());
            if (index == kFieldCount || (seen & (1u << index)) != 0)
                continue;
            seen |= 1u << index;
            values[index] = trimmed(field.child_value());
        }
        resolveListedPath(values[Path], m_romFolder, m_home, m_path, m_scratch);
        if (m_path.empty() || m_path.back() == '/')
            return;

        // Made where it waits for its path's turn: a description is moved once, into the list.
        GameDescription &game = m_batch.emplace_back(m_list.prepare(m_path), GameDescription{}).second;
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
    }

    // Reads and adds the games of parent, those before cutShort where there is one (a game a
    // fault cut short).
    void readAll(const pugi::xml_node &parent, const pugi::xml_node &cutShort)
    {
        for (const pugi::xml_node &node : parent.children("game")) {
            if (node == cutShort)
                break;
            read(node);
        }
        flush();
    }

    // Adds the games read since the last time: their paths were prepared as they were read.
    void flush()
    {
        for (auto &[path, game] : m_batch)
            m_list.add(path, std::move(game));
        m_batch.clear();
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
    std::vector<std::pair<GameList::PreparedPath, GameDescription>> m_batch;
};

// Parsed in place, with the text of an element kept in the element (half the nodes). No DOCTYPE
// node is kept and nothing it declares is expanded; attributes are not read.
constexpr unsigned kFlags = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_embed_pcdata;

std::string problemOf(const pugi::xml_parse_result &result, std::size_t offset)
{
    return std::string("it is not well-formed XML (") + result.description() + " at byte " +
           std::to_string(offset + static_cast<std::size_t>(result.offset)) + ")";
}

constexpr std::string_view kGameEnd = "</game>";
constexpr std::size_t kPieceBytes = 256u << 10;
constexpr std::size_t kHalvedBytes = 4u << 20; // below this, a second thread costs more than it gives

// Where a piece begun at `at` ends: after the first "</game>" past kPieceBytes, or at end when
// what is left is not much more than a piece.
std::size_t pieceEnd(std::string_view bytes, std::size_t at, std::size_t end)
{
    if (end - at <= 2 * kPieceBytes)
        return end;
    const std::size_t gameEnd = bytes.find(kGameEnd, at + kPieceBytes);
    return gameEnd < end ? gameEnd + kGameEnd.size() : end;
}

// Work on a thread of its own, or done here where the system gives no more threads.
std::jthread onSecondThread(const std::function<void()> &work)
{
    try {
        return std::jthread(work);
    } catch (const std::system_error &) {
        work();
        return {};
    }
}

// Puts [at, end) of the buffer back as the file has it, after an in-place parse wrote over it;
// false where it cannot (the file changed meanwhile). Keeping a copy of every piece instead cost
// a tenth of a big list's read.
using Restore = std::function<bool(std::size_t at, std::size_t end)>;

constexpr std::string_view kChanged = "it changed while it was read";

// Reads the games of [at, end) a piece at a time, each piece's nodes made in the memory of the
// piece before: the nodes of a whole 50,000-game list are some 50 MB, written once and read once,
// where a piece's stay in the processor's cache (about ten times faster). A piece is cut after a
// "</game>"; one that does not read (the cut was no end of a game, in a comment say, or the file
// is broken there) is put back as it was, and its start is returned; npos when nothing is left to
// read (all read, or the piece could not be put back, which the list's problem then says). The
// list is reserved for span bytes as dense in games as the first piece.
std::size_t readPieces(char *buffer, std::size_t at, std::size_t end, std::size_t span, GameList &list,
                       GameReader &reader, const Restore &restore)
{
    const std::string_view bytes(buffer, end);
    pugi::xml_document piece;
    bool reserved = false;
    while (at < end) {
        const std::size_t cut = pieceEnd(bytes, at, end);
        if (!piece.load_buffer_inplace(buffer + at, cut - at, kFlags | pugi::parse_fragment, pugi::encoding_utf8)) {
            if (restore(at, cut))
                return at;
            list.problem = kChanged;
            return std::string_view::npos;
        }
        reader.readAll(piece, {});
        if (!reserved && cut < end) {
            reserved = true;
            list.reserve(list.size() * span / (cut - at) * 21 / 20);
        }
        at = cut;
    }
    return std::string_view::npos;
}

// Reads the games of [at, end) in one piece; a list that goes wrong gives its games before the
// fault, as the read of the whole file does.
void readRest(char *buffer, std::size_t at, std::size_t end, GameList &list, GameReader &reader)
{
    pugi::xml_document rest;
    const pugi::xml_parse_result result =
        rest.load_buffer_inplace(buffer + at, end - at, kFlags | pugi::parse_fragment, pugi::encoding_utf8);
    reader.readAll(rest, result ? pugi::xml_node() : rest.last_child());
    if (!result)
        list.problem = problemOf(result, at);
}

// A big list read a piece of games at a time, its second half on a second thread, where that
// gives exactly the whole parse's result: a list in UTF-8 after a well-formed beginning, with
// nothing but white space after it. Where a piece of the first half does not read, the second
// half is put back as it was and the rest of the list read in one piece, as the whole read would;
// where one of the second half does not, the same happens within the second half. False, with
// nothing changed, where this does not apply.
bool readInPieces(char *buffer, std::size_t size, GameList &list, const std::string &romFolder, const std::string &home,
                  const Restore &restore)
{
    constexpr std::string_view kOpen = "<gameList>";
    constexpr std::string_view kClose = "</gameList>";
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

    const std::size_t start = open + kOpen.size();
    std::size_t middle = close;
    if (close - start > kHalvedBytes) {
        const std::size_t gameEnd = bytes.find(kGameEnd, start + (close - start) / 2);
        middle = gameEnd < close ? gameEnd + kGameEnd.size() : close;
    }
    GameList second;
    second.gatherOnly(); // its games are looked up once merged into the first half's
    std::exception_ptr secondFailed;
    // Joined however this thread leaves (memory running out, say); what goes wrong on the second
    // thread is this thread's to throw, as the read of a smaller list would.
    std::jthread secondReading;
    if (middle < close)
        secondReading = onSecondThread([&] {
            try {
                GameReader reader(second, buffer, size, romFolder, home);
                const std::size_t stop = readPieces(buffer, middle, close, close - middle, second, reader, restore);
                if (stop != std::string_view::npos)
                    readRest(buffer, stop, close, second, reader);
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
    GameReader reader(list, buffer, size, romFolder, home);
    const std::size_t stop = readPieces(buffer, start, middle, close - start, list, reader, restore);
    if (secondReading.joinable())
        secondReading.join();
    if (secondFailed)
        std::rethrow_exception(secondFailed);
    if (stop != std::string_view::npos) {
        if (middle == close || restore(middle, close))
            readRest(buffer, stop, close, list, reader);
        else
            list.problem = kChanged;
    } else if (middle < close && list.problem.empty()) {
        list.problem = second.problem;
        list.merge(std::move(second));
    }
    return true;
}

// The list of the size bytes at buffer, which the list holds; restore puts back what a read in
// pieces wrote over.
GameList parse(GameList list, char *buffer, std::size_t size, const std::string &romFolder, const std::string &home,
               const Restore &restore)
{
    if (readInPieces(buffer, size, list, romFolder, home, restore))
        return list;
    GameReader reader(list, buffer, size, romFolder, home);

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
    reader.readAll(gameList, cutShort);

    if (!result)
        list.problem = problemOf(result, 0);
    else if (!gameList)
        list.problem = "it has no <gameList> element";
    return list;
}

} // namespace

GameList GamelistXml::read(std::string bytes, const std::string &romFolder, const std::string &home)
{
    GameList list;
    const std::size_t size = bytes.size();
    // A read in pieces writes over what it parses; only a list big enough for pieces needs a copy.
    const std::string original = size >= 2 * kPieceBytes ? bytes : std::string();
    char *buffer = list.hold(std::move(bytes));
    return parse(std::move(list), buffer, size, romFolder, home, [&](std::size_t at, std::size_t end) {
        std::copy(original.begin() + static_cast<std::ptrdiff_t>(at),
                  original.begin() + static_cast<std::ptrdiff_t>(end), buffer + at);
        return true;
    });
}

GameList GamelistXml::read(const RegularFile &file, const std::string &romFolder, const std::string &home)
{
    GameList list;
    char *buffer = list.hold(file.size());
    // One read, on this thread: reading a big file's halves on two threads gained a millisecond or
    // so, and the window's longest turns while a list arrived were longer in the runs with it.
    const RegularFile::Part read = file.readAt(buffer, 0, file.size());
    if (read.error != 0) {
        list.problem = RegularFile::readProblem(read.error);
        return list;
    }
    const std::size_t size = read.bytes;
    return parse(std::move(list), buffer, size, romFolder, home, [&](std::size_t at, std::size_t end) {
        const RegularFile::Part again = file.readAt(buffer + at, at, end - at);
        return again.error == 0 && again.bytes == end - at;
    });
}

} // namespace marlit
