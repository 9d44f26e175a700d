#include "core/browse/GameTitle.h"

namespace marlit {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '_';
}

// Whether text, blanks aside, is a run of bracketed groups: "(USA) [!]".
bool allTags(std::string_view text)
{
    while (!text.empty()) {
        if (isBlank(text.front())) {
            text.remove_prefix(1);
            continue;
        }
        const char open = text.front();
        if (open != '(' && open != '[')
            return false;
        const std::size_t close = text.find(open == '(' ? ')' : ']');
        if (close == std::string_view::npos)
            return false;
        text.remove_prefix(close + 1);
    }
    return true;
}

} // namespace

GameTitle GameTitle::of(std::string_view fileName)
{
    // A name below a sub-folder ("A/Aladdin (USA).md") is titled by its file's name.
    std::string_view name = fileName.substr(fileName.rfind('/') + 1);
    // An extension is a short run of letters and digits after the last dot.
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0 && name.size() - dot <= 5)
        name = name.substr(0, dot);
    // A loop of its own: find_first_of looks each byte up in the set with a call of its own.
    const auto nextOpening = [&](std::size_t from) {
        for (std::size_t at = from; at < name.size(); ++at)
            if (name[at] == '(' || name[at] == '[')
                return at;
        return std::string_view::npos;
    };
    for (std::size_t open = nextOpening(0); open != std::string_view::npos; open = nextOpening(open + 1)) {
        std::size_t end = open;
        while (end > 0 && isBlank(name[end - 1]))
            --end;
        if (end > 0 && allTags(name.substr(open)))
            return {name.substr(0, end), name.substr(open)};
    }
    return {name, {}};
}

} // namespace marlit
