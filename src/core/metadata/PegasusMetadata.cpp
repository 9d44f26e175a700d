#include "core/metadata/PegasusMetadata.h"

#include <array>
#include <charconv>
#include <optional>
#include <vector>

namespace marlit {

namespace {

std::string_view trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string folded(std::string_view text)
{
    std::string out;
    for (const char c : text)
        if (c != '_' && c != '-')
            out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return out;
}

int leadingInt(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : -1;
}

// One "key: value" entry with its continuation lines, as read.
struct Entry
{
    std::string key; // lower case
    std::vector<std::string_view> lines;
    std::size_t lineNumber = 0;
};

// Text values join their lines with blanks; "." stands for a paragraph break.
std::string joinedText(const Entry &entry)
{
    std::string text;
    for (const std::string_view line : entry.lines) {
        if (line == ".") {
            text += "\n\n";
            continue;
        }
        if (line.empty())
            continue;
        if (!text.empty() && text.back() != '\n')
            text.push_back(' ');
        text.append(line);
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

class Reader
{
public:
    Reader(const std::string &folder, const std::string &home) : m_folder(folder), m_home(home) {}

    void take(const Entry &entry)
    {
        if (entry.key == "collection") {
            finishGame();
            return;
        }
        if (entry.key == "game") {
            finishGame();
            m_sawGame = true;
            m_game.emplace();
            m_game->title = m_list.keep(joinedText(entry));
            return;
        }
        // The older form, in a file without "game:": each "file:" starts a game, "title:" names it.
        if (entry.key == "file" && !m_sawGame) {
            finishGame();
            m_game.emplace();
        }
        if (!m_game)
            return; // a collection's own keys say nothing of games
        GameDescription &game = *m_game;
        const std::string &key = entry.key;
        if (key == "title") {
            game.title = m_list.keep(joinedText(entry));
        } else if (key == "file" || key == "files") {
            for (const std::string_view line : entry.lines)
                if (!line.empty())
                    m_files.push_back(resolveListedPath(line, m_folder, m_home));
        } else if (key == "developer" || key == "developers") {
            game.developer = m_list.keep(joinedList(entry));
        } else if (key == "publisher" || key == "publishers") {
            game.publisher = m_list.keep(joinedList(entry));
        } else if (key == "genre" || key == "genres") {
            game.genre = m_list.keep(joinedList(entry));
        } else if (key == "players") {
            game.players = m_list.keep(joinedText(entry));
        } else if (key == "release") {
            readRelease(joinedText(entry), game);
        } else if (key == "rating") {
            const std::string text = joinedText(entry);
            const int percent = leadingInt(text);
            if (percent >= 0 && percent <= 100)
                game.ratingPercent = percent;
        } else if (key == "description") {
            game.description = m_list.keep(joinedText(entry));
        } else if (key == "summary") {
            if (game.description.empty())
                game.description = m_list.keep(joinedText(entry));
        } else if (key.rfind("assets.", 0) == 0 || key.rfind("asset.", 0) == 0) {
            const std::string kind = PegasusMetadata::mediaKind(std::string_view(key).substr(key.find('.') + 1));
            const std::string text = joinedText(entry);
            if (!kind.empty() && !text.empty())
                game.pictures.push_back({kind, resolveListedPath(text, m_folder, m_home)});
        }
    }

    GameList finish()
    {
        finishGame();
        return std::move(m_list);
    }

    GameList &list() { return m_list; }

private:
    static std::string joinedList(const Entry &entry)
    {
        std::string text;
        for (const std::string_view line : entry.lines) {
            if (line.empty())
                continue;
            if (!text.empty())
                text += ", ";
            text.append(line);
        }
        return text;
    }

    void readRelease(const std::string &text, GameDescription &game)
    {
        // YYYY, YYYY-MM or YYYY-MM-DD.
        const int year = leadingInt(std::string_view(text).substr(0, 4));
        if (text.size() < 4 || year <= 1900)
            return;
        game.releaseYear = year;
        game.releaseDate = m_list.keep(std::string_view(text).substr(0, 10));
    }

    void finishGame()
    {
        if (!m_game)
            return;
        if (m_files.empty()) {
            m_list.addByStem(m_game->title, *m_game);
        } else {
            for (const std::string &file : m_files)
                m_list.add(file, *m_game);
        }
        m_files.clear();
        m_game.reset();
    }

    const std::string &m_folder;
    const std::string &m_home;
    GameList m_list;
    std::optional<GameDescription> m_game;
    bool m_sawGame = false;
    std::vector<std::string> m_files;
};

} // namespace

std::string PegasusMetadata::mediaKind(std::string_view assetName)
{
    static constexpr std::array<std::pair<const char *, const char *>, 17> kKinds{{
        {"boxfront", "covers"},
        {"box2dfront", "covers"},
        {"cover", "covers"},
        {"boxback", "backcovers"},
        {"box2dback", "backcovers"},
        {"boxfull", "3dboxes"},
        {"box3d", "3dboxes"},
        {"screenshot", "screenshots"},
        {"screenshots", "screenshots"},
        {"titlescreen", "titlescreens"},
        {"marquee", "marquees"},
        {"wheel", "marquees"},
        {"logo", "marquees"},
        {"background", "fanart"},
        {"fanart", "fanart"},
        {"cartridge", "physicalmedia"},
        {"disc", "physicalmedia"},
    }};
    const std::string name = folded(assetName);
    for (const auto &[asset, kind] : kKinds)
        if (name == asset)
            return kind;
    return {};
}

GameList PegasusMetadata::read(std::string_view bytes, const std::string &fileFolder, const std::string &home)
{
    Reader reader(fileFolder, home);
    std::optional<Entry> entry;
    std::size_t lineNumber = 0;
    std::size_t strayLine = 0; // the first line that is neither an entry nor a continuation
    std::size_t strayLines = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == ' ' || line.front() == '\t') {
            if (entry)
                entry->lines.push_back(trim(line));
            continue;
        }
        if (entry)
            reader.take(*entry);
        entry.reset();
        const std::size_t colon = line.find(':');
        const std::string_view key = colon == std::string_view::npos ? std::string_view() : trim(line.substr(0, colon));
        if (key.empty() || line.find('\0') != std::string_view::npos) {
            if (strayLines++ == 0)
                strayLine = lineNumber;
            continue;
        }
        entry.emplace();
        entry->key = std::string(key);
        for (char &c : entry->key)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        entry->lineNumber = lineNumber;
        const std::string_view value = trim(line.substr(colon + 1));
        if (!value.empty())
            entry->lines.push_back(value);
    }
    if (entry)
        reader.take(*entry);

    GameList list = reader.finish();
    if (strayLines > 0)
        list.problem = std::to_string(strayLines) + (strayLines == 1 ? " line is" : " lines are") +
                       " not \"key: value\" lines (the first is line " + std::to_string(strayLine) + ")";
    return list;
}

} // namespace marlit
