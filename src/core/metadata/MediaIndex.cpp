#include "core/metadata/MediaIndex.h"

#include <array>

namespace marlit {

namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

void MediaIndex::add(const std::string &kind, std::string romStem, std::string path)
{
    if (m_kinds[kind].try_emplace(std::move(romStem), std::move(path)).second)
        ++m_size;
}

const std::string &MediaIndex::find(const std::string &kind, std::string_view romStem) const
{
    static const std::string none;
    const auto pictures = m_kinds.find(kind);
    if (pictures == m_kinds.end())
        return none;
    const auto found = pictures->second.find(std::string(romStem));
    return found == pictures->second.end() ? none : found->second;
}

void MediaIndex::merge(const MediaIndex &other)
{
    for (const auto &[kind, pictures] : other.m_kinds)
        for (const auto &[stem, path] : pictures)
            add(kind, stem, path);
}

bool MediaIndex::isPictureName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    const std::string extension = lowered(name.substr(dot + 1));
    for (const char *picture : {"png", "jpg", "jpeg", "gif", "bmp", "webp"})
        if (extension == picture)
            return true;
    return false;
}

bool MediaIndex::isKnownKind(std::string_view folderName)
{
    static constexpr std::array<const char *, 11> kKinds{"covers",        "screenshots", "titlescreens", "marquees",
                                                         "3dboxes",       "backcovers",  "fanart",       "miximages",
                                                         "physicalmedia", "images",      "thumbnails"};
    for (const char *kind : kKinds)
        if (folderName == kind)
            return true;
    return false;
}

} // namespace marlit
