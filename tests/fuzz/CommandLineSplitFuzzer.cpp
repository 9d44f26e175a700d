#include "core/launch/CommandLine.h"
#include "core/launch/LaunchRequest.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>
#include <wordexp.h>

// Our word splitter against the C library's shell word expansion, on texts made only of letters,
// blanks, tabs, both quotes and backslashes: nothing there can be expanded, so a shell gives the
// words by quoting alone. Where the shell refuses the text (a quote or a backslash left open at
// the end) ours closes it at the end instead, as the command lines of the platform Marlit came
// from do: then the words must be the shell's for the text so closed.
//
// wordexp has a fault of its own: a word that begins with an empty pair of quotes ('' or "")
// and goes on ("''a") comes back as two words, an empty one and the rest. Where it disagrees
// with ours, /bin/sh itself decides.
namespace {

using Words = std::vector<std::string>;

std::optional<Words> expandedWords(const std::string &text)
{
    wordexp_t expansion{};
    if (wordexp(text.c_str(), &expansion, WRDE_NOCMD | WRDE_UNDEF) != 0) {
        wordfree(&expansion);
        return std::nullopt;
    }
    Words words(expansion.we_wordv, expansion.we_wordv + expansion.we_wordc);
    wordfree(&expansion);
    return words;
}

// The words /bin/sh makes of text, or nothing for a syntax error.
std::optional<Words> shellWords(const std::string &text)
{
    // The first line silences the second's syntax error; "x" stands first so that no words
    // still print something.
    const std::string command = "exec 2>/dev/null\nprintf '%s\\0' x " + text;
    std::FILE *shell = popen(command.c_str(), "r");
    if (!shell)
        std::abort();
    // read, not fread: the fuzzer's own timer signal interrupts reads, and fread would stop there.
    std::string printed;
    char buffer[512];
    for (ssize_t n; (n = read(fileno(shell), buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno != EINTR)
            std::abort();
        if (n > 0)
            printed.append(buffer, static_cast<std::size_t>(n));
    }
    if (pclose(shell) != 0)
        return std::nullopt;
    Words words;
    for (std::size_t start = 0, end; (end = printed.find('\0', start)) != std::string::npos; start = end + 1)
        words.push_back(printed.substr(start, end - start));
    if (words.empty() || words.front() != "x")
        std::abort();
    words.erase(words.begin());
    return words;
}

// Whether the oracle gives ours for the text, or refuses it and gives ours once it is closed.
template <typename Oracle> bool agrees(Oracle oracle, const std::string &text, const Words &ours)
{
    const std::optional<Words> theirs = oracle(text);
    if (theirs)
        return *theirs == ours;
    // An open single quote, double quote, or a backslash at the very end (alone or inside
    // double quotes) is what ours closes at the end of the text.
    for (const char *closing : {"'", "\"", "\\", "\\\""}) {
        const std::optional<Words> closed = oracle(text + closing);
        if (closed && *closed == ours)
            return true;
    }
    return false;
}

void show(const char *what, const Words &words)
{
    std::fprintf(stderr, "%s:", what);
    for (const std::string &word : words)
        std::fprintf(stderr, " [%s]", word.c_str());
    std::fprintf(stderr, "\n");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    unsetenv("IFS"); // blanks, tabs and newlines separate, as for our splitter
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static constexpr char kAlphabet[] = {'a', 'b', ' ', '\t', '\'', '"', '\\'};
    if (size > 64)
        return 0; // longer texts find nothing new and slow the run
    // Letters and the characters of the alphabet stand for themselves (so seeds read as text);
    // any other byte becomes one of the alphabet.
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool kept = letter || std::memchr(kAlphabet, c, sizeof kAlphabet) != nullptr;
        text.push_back(kept ? c : kAlphabet[data[i] % sizeof kAlphabet]);
    }

    const Words ours = marlit::CommandLine::splitWords(text);
    if (!agrees(expandedWords, text, ours) && !agrees(shellWords, text, ours)) {
        std::fprintf(stderr, "text: [%s]\n", text.c_str());
        show("ours", ours);
        if (const std::optional<Words> shell = shellWords(text))
            show("shell", *shell);
        else
            std::fprintf(stderr, "shell: refused\n");
        std::abort();
    }

    // Quoted for a shell, the words come back the same through both.
    if (!ours.empty()) {
        const marlit::LaunchRequest request{ours.front(), Words(ours.begin() + 1, ours.end()), ""};
        const std::string line = marlit::CommandLine::shellText(request);
        const std::optional<Words> reread = expandedWords(line);
        if (marlit::CommandLine::splitWords(line) != ours || !reread || *reread != ours) {
            std::fprintf(stderr, "quoted: [%s]\n", line.c_str());
            show("words", ours);
            std::abort();
        }
    }
    return 0;
}
