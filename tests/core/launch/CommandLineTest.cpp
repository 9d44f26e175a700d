#include "core/launch/CommandLine.h"
#include "core/launch/LogLine.h"

#include "core/catalogue/SystemEntry.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <string>
#include <unistd.h>
#include <vector>

using marlit::CommandLine;
using marlit::LaunchRequest;
using marlit::SystemEntry;
using Words = std::vector<std::string>;

namespace {

SystemEntry emulator(std::string commandLine, bool paramsAfterRom)
{
    SystemEntry entry;
    entry.emulatorDirectory = "/emu";
    entry.emulatorFile = "/emu.sh";
    entry.commandLine = std::move(commandLine);
    entry.paramsAfterRom = paramsAfterRom;
    return entry;
}

} // namespace

TEST(CommandLineRequest, RomPathIsOneArgumentAfterOrBeforeTheParameters)
{
    const LaunchRequest before = CommandLine::request(emulator("-fs -v", false), "/roms/NES/", "Zelda (U).nes");
    EXPECT_EQ(before.program, "/emu/emu.sh");
    EXPECT_EQ(before.arguments, (Words{"-fs", "-v", "/roms/NES/Zelda (U).nes"}));
    EXPECT_EQ(before.workingDirectory, "/emu");

    const LaunchRequest after = CommandLine::request(emulator("-fs -v", true), "/roms/NES/", "Zelda (U).nes");
    EXPECT_EQ(after.program, "/emu/emu.sh");
    EXPECT_EQ(after.arguments, (Words{"/roms/NES/Zelda (U).nes", "-fs", "-v"}));
    EXPECT_EQ(after.workingDirectory, "/emu");

    // No empty argument stands in for empty parameters.
    EXPECT_EQ(CommandLine::request(emulator("", false), "/r/", "a.nes").arguments, Words{"/r/a.nes"});
    EXPECT_EQ(CommandLine::request(emulator("  ", true), "/r/", "a.nes").arguments, Words{"/r/a.nes"});
}

TEST(CommandLineRequest, RomNamesReachTheProgramUntouched)
{
    const std::string names[] = {
        "Zelda (U) [!].nes",
        "Tom's \"Best\" Game.nes",
        "$HOME and ${PATH}.nes",
        "a; rm -rf x | cat & b.nes",
        "`touch pwned`.nes",
        "$(touch pwned).nes",
        "two\nlines.nes",
        "*.nes ~ ? [a-z]",
        "back\\slash.nes",
        std::string("latin1 \xe9\xe8\xff.nes"),
        " leading and trailing blanks ",
    };
    for (bool after : {false, true}) {
        for (const std::string &name : names) {
            const LaunchRequest request = CommandLine::request(emulator("-fs", after), "/roms/My NES/", name);
            const Words expected = after ? Words{"/roms/My NES/" + name, "-fs"} : Words{"-fs", "/roms/My NES/" + name};
            EXPECT_EQ(request.arguments, expected) << name;
        }
    }
}

TEST(CommandLineRequest, ParametersAreSplitLikeAShellWithoutExpansion)
{
    const LaunchRequest request =
        CommandLine::request(emulator("-a \"x y\" 'z w' b\\ c $HOME `id` $(id) ; | * ~", false), "/r/", "a.nes");
    EXPECT_EQ(request.arguments,
              (Words{"-a", "x y", "z w", "b c", "$HOME", "`id`", "$(id)", ";", "|", "*", "~", "/r/a.nes"}));
}

TEST(CommandLineRequest, RelativeRomPathIsMadeAbsoluteForTheEmulatorsOwnFolder)
{
    char current[4096];
    ASSERT_NE(getcwd(current, sizeof current), nullptr);
    const std::string here = std::string(current) + "/";
    EXPECT_EQ(CommandLine::request(emulator("", false), "roms/", "a.nes").arguments, Words{here + "roms/a.nes"});
    // A ROM directory left empty means our own folder; the name must not pass for an option.
    EXPECT_EQ(CommandLine::request(emulator("", true), "", "-v").arguments, Words{here + "-v"});
}

TEST(CommandLineRequest, EmulatorAloneHasNoArgumentAtAll)
{
    const LaunchRequest request = CommandLine::emulatorOnlyRequest(emulator("-fs \"x\"", true));
    EXPECT_EQ(request.program, "/emu/emu.sh");
    EXPECT_TRUE(request.arguments.empty());
    EXPECT_EQ(request.workingDirectory, "/emu");
}

struct SplitCase
{
    const char *text;
    Words expected;
};

TEST(CommandLineSplitWords, FollowsShellQuoting)
{
    const SplitCase cases[] = {
        {"", {}},
        {"   ", {}},
        {" \t\n ", {}},
        {"a", {"a"}},
        {"  a \t b\nc  ", {"a", "b", "c"}},
        {"a\\ b", {"a b"}},
        {"\\\\", {"\\"}},
        {"a\\", {"a\\"}},         // nothing follows the backslash: it stays
        {"a\\\nb", {"ab"}},       // backslash-newline joins the line
        {"\"a\\\nb\"", {"ab"}},   // also inside double quotes
        {"'a\\\nb'", {"a\\\nb"}}, // but not inside single quotes
        {"\"a\"'b'c", {"abc"}},   // adjacent parts join into one word
        {"\"\"", {""}},           // empty quotes are an empty word
        {"a '' b", {"a", "", "b"}},
        {"'a \"b\" \\c'", {"a \"b\" \\c"}}, // single quotes keep everything
        {"\"a 'b' \\c \\$ \\` \\\" \\\\\"", {"a 'b' \\c $ ` \" \\"}},
        {"\"unterminated double", {"unterminated double"}},
        {"'unterminated single", {"unterminated single"}},
        {"x 'a b", {"x", "a b"}},
        {"\"$(id)\" `id` $X", {"$(id)", "`id`", "$X"}},
        {"#not-a-comment", {"#not-a-comment"}},
        {"\xe9t\xe9 \xff", {"\xe9t\xe9", "\xff"}},
    };
    for (const SplitCase &c : cases)
        EXPECT_EQ(CommandLine::splitWords(c.text), c.expected) << "text: [" << c.text << "]";
}

// Runs line (a printf of each word and a NUL) in shell and compares what it printed, byte for
// byte, with the words.
static void expectShellPrintsTheWords(const std::string &shell, const std::string &line, const Words &words)
{
    const std::string command = shell + " -c " + CommandLine::shellQuoted(line);
    std::FILE *output = popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    std::string printed;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, output)) > 0;)
        printed.append(buffer, n);
    EXPECT_EQ(pclose(output), 0);
    std::string joined;
    for (const std::string &word : words)
        joined += word + '\0';
    EXPECT_EQ(printed, joined);
}

TEST(CommandLineShellText, AShellReadsBackTheSameWords)
{
    const Words words = {"plain-word_1.2,x:y+z@a%b=c",
                         "",
                         "two words",
                         "Tom's \"Best\" Game",
                         "$HOME `id` $(id) ; | & < > * ? [a] ~ # !",
                         "back\\slash\\",
                         "tab\tand\nnewline",
                         "'",
                         "''",
                         std::string("latin1 \xe9\xff")};
    // printf prints each of its arguments followed by a NUL: what the shell passed, byte for byte.
    LaunchRequest request{"printf", {"%s\\0"}, ""};
    request.arguments.insert(request.arguments.end(), words.begin(), words.end());
    const std::string line = marlit::CommandLine::shellText(request);
    EXPECT_EQ(line.substr(0, 14), "printf '%s\\0' ");
    EXPECT_EQ(CommandLine::shellQuoted("a=b"), "a=b");
    EXPECT_EQ(CommandLine::shellText({"a=b", {"a=b"}, ""}), "'a=b' a=b"); // not an assignment

    Words expected = {"printf"};
    expected.insert(expected.end(), request.arguments.begin(), request.arguments.end());
    EXPECT_EQ(CommandLine::splitWords(line), expected);

    expectShellPrintsTheWords("/bin/sh", line, words);
}

// What "Copy" puts on the clipboard and standard error shows: one line of UTF-8, whatever the ROM's
// name holds, that bash reads back into the real bytes (Latin-1, a stray continuation byte, an
// overlong form, a surrogate, a line break, an escape character).
TEST(CommandLineShellText, TerminalTextIsOneLineOfUtf8NamingTheRealBytes)
{
    const Words words = {"caf\xc3\xa9 \xe9t\xe9.nes", "\x80",      "\xc0\xaf", "\xed\xa0\x80",
                         "two\nlines\x1b[2J",         "it's \xff", "plain",    "",
                         "\xf0\x9f\x8e\xae"};
    LaunchRequest request{"printf", {"%s\\0"}, ""};
    request.arguments.insert(request.arguments.end(), words.begin(), words.end());
    const std::string line = CommandLine::terminalText(request);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\x1b'), std::string::npos);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::mbstate_t state{};
    for (std::size_t at = 0; at < line.size();) {
        wchar_t character = 0;
        const std::size_t length = std::mbrtowc(&character, line.data() + at, line.size() - at, &state);
        ASSERT_LT(length, static_cast<std::size_t>(-2)) << "not UTF-8 at " << at << ": " << line;
        at += length == 0 ? 1 : length;
    }
    EXPECT_NE(line.find("'caf\xc3\xa9 '$'\\351't$'\\351'.nes"), std::string::npos) << line; // UTF-8 kept

    expectShellPrintsTheWords("/bin/bash", line, words);
}

// An emulator's name from its table, or a program's path, on standard error: one line whatever
// it holds, its other bytes (UTF-8 or not) as they are.
TEST(LogLine, ControlCharactersAreEscapedAndNothingElse)
{
    EXPECT_EQ(marlit::LogLine::escaped("Emu\nfake: ok\r\t\x1b[2J\x7f caf\xc3\xa9 \xff"),
              "Emu\\nfake: ok\\r\\t\\x1b[2J\\x7f caf\xc3\xa9 \xff");
}
