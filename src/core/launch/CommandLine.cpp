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

// The length of the UTF-8 character at the start of bytes, or 0 when none starts there.
std::size_t utf8CharacterLength(std::string_view bytes)
{
    const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(bytes[index]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range, narrower after some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t index = 2; index < length; ++index)
        if (byte(index) < 0x80 || byte(index) > 0xBF)
            return 0;
    return length;
}

// The length of the character at the start of bytes that a terminal shows as it is, or 0 for a
// byte to escape: one outside UTF-8, or a control character (a line break would end the line).
std::size_t shownCharacterLength(std::string_view bytes)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    return lead < 0x20 || lead == 0x7F ? 0 : utf8CharacterLength(bytes);
}

// word quoted with quote, its bytes to escape as $'\ooo' between the quoted runs.
std::string terminalWord(std::string_view word, std::string (*quote)(std::string_view))
{
    std::string text;
    std::size_t runStart = 0;
    const auto endRun = [&](std::size_t end) {
        if (end > runStart)
            text += quote(word.substr(runStart, end - runStart));
    };
    for (std::size_t at = 0; at < word.size();) {
        if (const std::size_t length = shownCharacterLength(word.substr(at))) {
            at += length;
            continue;
        }
        endRun(at);
        text += "$'";
        for (; at < word.size() && shownCharacterLength(word.substr(at)) == 0; ++at) {
            const auto value = static_cast<unsigned char>(word[at]);
            text += {'\\', static_cast<char>('0' + (value >> 6)), static_cast<char>('0' + ((value >> 3) & 7)),
                     static_cast<char>('0' + (value & 7))};
        }
        text += '\'';
        runStart = at;
    }
    endRun(word.size());
    return text.empty() ? quote(word) : text;
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

std::string CommandLine::terminalText(const LaunchRequest &request)
{
    // A first word with "=" would read as a variable assignment.
    std::string line =
        terminalWord(request.program, request.program.find('=') == std::string::npos ? &shellQuoted : &singleQuoted);
    for (const std::string &argument : request.arguments)
        line += ' ' + terminalWord(argument, &CommandLine::shellQuoted);
    return line;
}

} // namespace marlit
