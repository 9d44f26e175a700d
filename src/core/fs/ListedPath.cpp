#include "core/fs/ListedPath.h"

#include "core/fs/Paths.h"

namespace marlit {

std::string resolveListedPath(std::string_view path, const std::string &base, const std::string &home)
{
    std::string out;
    std::string scratch;
    resolveListedPath(path, base, home, out, scratch);
    return out;
}

namespace {

// Whether the clean-up would leave path as it is: no doubled separator, no "." or ".." part.
bool isPlain(std::string_view path)
{
    if (path.find("//") != std::string_view::npos)
        return false;
    for (std::size_t dot = path.find('.'); dot != std::string_view::npos; dot = path.find('.', dot + 1)) {
        if (dot > 0 && path[dot - 1] != kPathSeparator)
            continue; // within a name
        std::size_t after = dot + 1;
        if (after < path.size() && path[after] == '.')
            ++after;
        if (after == path.size() || path[after] == kPathSeparator)
            return false;
    }
    return true;
}

} // namespace

void resolveListedPath(std::string_view path, const std::string &base, const std::string &home, std::string &out,
                       std::string &scratch)
{
    out.clear();
    if (path.empty())
        return;
    std::string &joined = scratch;
    joined.clear();
    const auto joinTo = [&](const std::string &folder, std::string_view rest) {
        joined.append(folder);
        if (!folder.empty() && folder.back() != kPathSeparator)
            joined.push_back(kPathSeparator);
        joined.append(rest);
    };
    if (path.front() == kPathSeparator)
        joined.assign(path);
    else if (path.size() >= 2 && path[0] == '~' && path[1] == kPathSeparator)
        joinTo(home, path.substr(2));
    else {
        while (path.size() >= 2 && path[0] == '.' && path[1] == kPathSeparator)
            path.remove_prefix(2); // "./x.zip", as most lists write it
        joinTo(base, path);
    }
    // Most paths are plain already: taken as they are, where the clean-up below would build the same.
    if (isPlain(joined)) {
        std::swap(out, joined);
        return;
    }

    // Lexical clean-up, part by part; ".." never climbs above the root.
    const bool absolute = joined.front() == kPathSeparator;
    std::string_view rest(joined);
    while (!rest.empty()) {
        const std::size_t slash = rest.find(kPathSeparator);
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            const std::size_t last = out.rfind(kPathSeparator);
            out.resize(last == std::string::npos ? 0 : last);
            continue;
        }
        // A ROM folder given relative to the working directory gives relative paths, as its ROMs have.
        if (absolute || !out.empty())
            out.push_back(kPathSeparator);
        out.append(part);
    }
    if (out.empty()) {
        if (absolute)
            out.push_back(kPathSeparator);
        return;
    }
    if (joined.back() == kPathSeparator)
        out.push_back(kPathSeparator);
}

} // namespace marlit
