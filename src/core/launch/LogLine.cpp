#include "core/launch/LogLine.h"

namespace marlit {

std::string LogLine::escaped(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            line.push_back(c);
        } else if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else if (c == '\t') {
            line += "\\t";
        } else {
            line += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        }
    }
    return line;
}

} // namespace marlit
