#include "core/catalogue/ShortenPath.h"

namespace marlit {

namespace {

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::string shortenPath(std::string_view path)
{
    if (path.size() <= kShortPathLength)
        return std::string(path);
    // A UTF-8 character has at most three continuation bytes; bytes that are not UTF-8 at all
    // are cut after at most that many steps back.
    std::size_t cut = kShortPathLength;
    for (int step = 0; step < 3 && cut > 0 && isContinuationByte(path[cut]); ++step)
        --cut;
    std::string shortened(path.substr(0, cut));
    shortened += "...";
    return shortened;
}

} // namespace marlit
