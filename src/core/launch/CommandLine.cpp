#include "core/launch/CommandLine.h"

#include "core/catalogue/SystemEntry.h"
#include "core/fs/Paths.h"
#include "core/fs/WorkingDirectory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace marlit {

namespace {

std::string emulatorPath(const SystemEntry &entry)
{
    return entry.emulatorDirectory + entry.emulatorFile;
}

// Runs of other characters in single quotes, each single quote as \' between them: "it's"
// gives 'it'\''s', and no empty pair of quotes is ever written.
std::string singleQuoted(std::string_view word)
{
    if (word.empty())
        return "''";
    std::string quoted;
    bool open = false;
    for (const char c : word) {
        if (c == '\'') {
            if (open)
                quoted.push_back('\'');
            open = false;
            quoted += "\\'";
        } else {
            if (!open)
                quoted.push_back('\'');
            open = true;
            quoted.push_back(c);
        }
    }
    if (open)
        quoted.push_back('\'');
    return quoted;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

LaunchRequest CommandLine::request(const SystemEntry &entry, const std::string &romFolder, const std::string &romName)
{
    LaunchRequest request;
    request.program = emulatorPath(entry);
    request.workingDirectory = entry.emulatorDirectory;
    std::vector<std::string> words = splitWords(entry.commandLine);
    // The emulator runs in its own folder, so a ROM path relative to ours would name another file
    // there (and a bare name such as "-v" would read as an option): it is made absolute first.
    std::string romPath = absolutePath(romFolder + romName);
    if (entry.paramsAfterRom) {
        request.arguments.reserve(words.size() + 1);
        request.arguments.push_back(std::move(romPath));
        for (std::string &word : words)
            request.arguments.push_back(std::move(word));
    } else {
        request.arguments = std::move(words);
        request.arguments.push_back(std::move(romPath));
    }
    return request;
}

LaunchRequest CommandLine::emulatorOnlyRequest(const SystemEntry &entry)
{
    LaunchRequest request;
    request.program = emulatorPath(entry);
    request.workingDirectory = entry.emulatorDirectory;
    return request;
}

std::vector<std::string> CommandLine::splitWords(std::string_view text)
{
    enum class Quote { None, Single, Double };

    std::vector<std::string> words;
    std::string word;
    // A word exists once any part of it was seen, so that "" and '' give an empty word.
    bool inWord = false;
    Quote quote = Quote::None;

    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (quote) {
        case Quote::Single:
            if (c == '\'')
                quote = Quote::None;
            else
                word.push_back(c);
            break;
        case Quote::Double:
            if (c == '"') {
                quote = Quote::None;
            } else if (c == '\\' && i + 1 < text.size() &&
                       (text[i + 1] == '$' || text[i + 1] == '`' || text[i + 1] == '"' || text[i + 1] == '\\' ||
                        text[i + 1] == '\n')) {
                ++i;
                // A backslash-newline continues the line: both characters go.
                if (text[i] != '\n')
                    word.push_back(text[i]);
            } else {
                word.push_back(c);
            }
            break;
        case Quote::None:
            if (isBlank(c)) {
                if (inWord) {
                    words.push_back(std::move(word));
                    word.clear();
                    inWord = false;
                }
            } else if (c == '\\') {
                if (i + 1 < text.size()) {
                    ++i;
                    if (text[i] == '\n')
                        break; // a line continuation joins the text around it
                    word.push_back(text[i]);
                } else {
                    word.push_back(c); // a trailing backslash has nothing to escape and stays
                }
                inWord = true;
            } else if (c == '\'') {
                quote = Quote::Single;
                inWord = true;
            } else if (c == '"') {
                quote = Quote::Double;
                inWord = true;
            } else {
                word.push_back(c);
                inWord = true;
            }
            break;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string CommandLine::shellQuoted(std::string_view word)
{
    const auto isPlain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               (c != '\0' && std::strchr("-_./=:,+@%", c) != nullptr);
    };
    if (!word.empty() && std::all_of(word.begin(), word.end(), isPlain))
        return std::string(word);
    return singleQuoted(word);
}

std::string CommandLine::shellText(const LaunchRequest &request)
{
    // A first word with "=" would read as a variable assignment.
    std::string line =
        request.program.find('=') == std::string::npos ? shellQuoted(request.program) : singleQuoted(request.program);
    for (const std::string &argument : request.arguments)
        line += ' ' + shellQuoted(argument);
    return line;
}

} // namespace marlit
