#pragma once

#include "core/launch/LaunchRequest.h"

#include <string>
#include <string_view>
#include <vector>

namespace marlit {

struct SystemEntry;

// What an emulator is started with.
class CommandLine
{
public:
    // The argument vector: the program (emulatorDirectory + emulatorFile), then the words of
    // commandLine and the ROM path as one argument, before or after those words as
    // paramsAfterRom says. Working directory:
    // emulatorDirectory; a relative ROM path is therefore made absolute against ours.
    static LaunchRequest request(const SystemEntry &entry, const std::string &romFolder, const std::string &romName);
    // The emulator with no argument at all.
    static LaunchRequest emulatorOnlyRequest(const SystemEntry &entry);

    // Splits text into words as a POSIX shell does: blanks, tabs and newlines separate; single
    // quotes keep everything literally; double quotes keep everything but a backslash before
    // $ ` " \ or a newline; a backslash outside quotes keeps the next character. Nothing is
    // expanded, substituted or run. An unterminated quote runs to the end of the text.
    static std::vector<std::string> splitWords(std::string_view text);

    // The program and arguments of a request as a line a POSIX shell reads back into the same
    // words (splitWords does too): a word of letters, digits and -_./=:,+@% stays bare, any other
    // goes into single quotes, a single quote in it written as \' outside them.
    static std::string shellText(const LaunchRequest &request);
    static std::string shellQuoted(std::string_view word);
    // shellText as text for a terminal, the clipboard, a notice or a log line: every byte that is
    // not part of UTF-8, and every control character (a line break), is written as a $'\ooo'
    // escape, which bash, zsh and ksh read back as that byte. The line is one line of UTF-8
    // that names the real bytes.
    static std::string terminalText(const LaunchRequest &request);
};

} // namespace marlit
