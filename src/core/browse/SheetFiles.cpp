#include "core/browse/SheetFiles.h"

#include "core/fs/AsciiCase.h"
#include "core/fs/FileDescriptor.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace marlit {

namespace {

std::string_view extensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && foldedAscii(a) == foldedAscii(b);
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The first word of text, or the quoted text when it begins with a quote; text moves past it.
std::string_view takeWord(std::string_view &text)
{
    text = trimmed(text);
    std::string_view word;
    if (!text.empty() && text.front() == '"') {
        const std::size_t close = text.find('"', 1);
        word = text.substr(1, close == std::string_view::npos ? text.size() - 1 : close - 1);
        text.remove_prefix(close == std::string_view::npos ? text.size() : close + 1);
        return word;
    }
    const std::size_t end = text.find_first_of(" \t");
    word = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    return word;
}

template <typename Each> void forEachLine(std::string_view bytes, Each each)
{
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        each(trimmed(bytes.substr(0, end)));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    }
}

} // namespace

bool SheetFiles::isSheet(std::string_view name)
{
    // Asked of every listed name: folded in place, without a string made for it.
    const std::string_view extension = extensionOf(name);
    if (extension.size() != 3)
        return false;
    const std::array<char, 3> folded{foldAscii(extension[0]), foldAscii(extension[1]), foldAscii(extension[2])};
    const std::string_view foldedExtension(folded.data(), folded.size());
    for (const std::string_view sheet : {"cue", "gdi", "toc", "ccd", "m3u"})
        if (foldedExtension == sheet)
            return true;
    return false;
}

std::vector<std::string> SheetFiles::namedFiles(std::string_view sheetName, std::string_view bytes)
{
    std::vector<std::string> files;
    const std::string extension = foldedAscii(extensionOf(sheetName));
    if (extension == "ccd") {
        const std::string_view stem = sheetName.substr(0, sheetName.size() - 3);
        for (const char *suffix : {"img", "sub"})
            files.push_back(std::string(stem) + suffix);
        return files;
    }
    bool firstLine = true;
    forEachLine(bytes, [&](std::string_view line) {
        if (line.empty())
            return;
        if (extension == "m3u") {
            if (line.front() != '#')
                files.emplace_back(line);
        } else if (extension == "gdi") {
            // A track count, then "number start type sector-size file offset" per track.
            if (!std::exchange(firstLine, false)) {
                for (int skip = 0; skip < 4 && !line.empty(); ++skip)
                    takeWord(line);
                if (const std::string_view file = takeWord(line); !file.empty())
                    files.emplace_back(file);
            }
        } else {
            // cue: FILE "name" BINARY; toc: FILE "name" ... and DATAFILE "name".
            const std::string_view keyword = takeWord(line);
            if (sameIgnoringCase(keyword, "FILE") || sameIgnoringCase(keyword, "DATAFILE"))
                if (const std::string_view file = takeWord(line); !file.empty())
                    files.emplace_back(file);
        }
    });
    return files;
}

std::vector<std::string> SheetFiles::read(const std::string &folder, const std::string &name)
{
    const std::string path = folder + name;
    const FileDescriptor fd(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status
    {
    };
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::size_t>(status.st_size) > kMaxSheetBytes)
        return {};
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return namedFiles(name, bytes);
}

std::vector<std::string> SheetFiles::missing(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::vector<std::string> gone;
    for (std::string &file : read(folder, name)) {
        const std::string full = !file.empty() && file.front() == '/' ? file : folder + file;
        struct stat status
        {
        };
        if (::stat(full.c_str(), &status) != 0)
            gone.push_back(std::move(file));
    }
    return gone;
}

} // namespace marlit
