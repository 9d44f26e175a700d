#include "core/pad/PadSettings.h"
#include "core/pad/PadText.h"

#include "core/fs/FileDescriptor.h"

#include <fcntl.h>

namespace marlit {

PadSettings PadSettings::parse(std::string_view text)
{
    PadSettings settings;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        line = trimmedPadText(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const auto problem = [&](const std::string &why) {
            settings.problems.push_back("line " + std::to_string(number) + ": " + why);
        };
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            problem("no \"=\"");
            continue;
        }
        const std::string_view name = trimmedPadText(line.substr(0, equals));
        const std::string_view value = trimmedPadText(line.substr(equals + 1));
        if (name != "end-game") {
            problem("unknown setting \"" + std::string(name) + "\"");
            continue;
        }
        std::string why;
        if (std::optional<ButtonChord> chord = ButtonChord::parse(value, &why))
            settings.endGame = std::move(*chord);
        else
            problem(why);
    }
    return settings;
}

PadSettings PadSettings::load(const std::string &path)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid())
        return {};
    std::string text(64 * 1024, '\0');
    text.resize(readUpTo(file.get(), text.data(), text.size()));
    return parse(text);
}

} // namespace marlit
