#include "core/launch/ErrorTail.h"

#include <algorithm>
#include <cstring>

namespace marlit {

void ErrorTail::append(const char *bytes, std::size_t size) noexcept
{
    if (size > kCapacity) { // only the last kCapacity bytes can stay
        bytes += size - kCapacity;
        m_total += size - kCapacity;
        size = kCapacity;
    }
    while (size > 0) {
        const std::size_t at = static_cast<std::size_t>(m_total % kCapacity);
        const std::size_t n = std::min(size, kCapacity - at);
        std::memcpy(m_bytes.data() + at, bytes, n);
        bytes += n;
        size -= n;
        m_total += n;
    }
}

std::size_t ErrorTail::copyTo(char *out) const noexcept
{
    if (!cut()) {
        std::memcpy(out, m_bytes.data(), static_cast<std::size_t>(m_total));
        return static_cast<std::size_t>(m_total);
    }
    const std::size_t oldest = static_cast<std::size_t>(m_total % kCapacity);
    std::memcpy(out, m_bytes.data() + oldest, kCapacity - oldest);
    std::memcpy(out + (kCapacity - oldest), m_bytes.data(), oldest);
    return kCapacity;
}

std::string ErrorTail::lastLines(std::string_view kept, bool cut)
{
    if (cut) {
        const std::size_t lineEnd = kept.find('\n');
        if (lineEnd != std::string_view::npos && kept.find_first_not_of('\n', lineEnd) != std::string_view::npos) {
            kept.remove_prefix(lineEnd + 1);
        } else {
            // One long line: it starts where a character does (UTF-8 continuation bytes are 10xxxxxx).
            while (!kept.empty() && (static_cast<unsigned char>(kept.front()) & 0xC0) == 0x80)
                kept.remove_prefix(1);
        }
    }
    while (!kept.empty() && (kept.back() == '\n' || kept.back() == '\r'))
        kept.remove_suffix(1);
    return std::string(kept);
}

} // namespace marlit
