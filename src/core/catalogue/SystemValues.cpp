#include "core/catalogue/SystemValues.h"

#include <algorithm>

namespace marlit {

const std::string *SystemValues::find(std::string_view key) const
{
    const auto found = m_values.find(key);
    return found == m_values.end() ? nullptr : &found->second;
}

std::string SystemValues::value(std::string_view key) const
{
    const std::string *found = find(key);
    return found ? *found : std::string();
}

void SystemValues::set(std::string_view key, std::string_view value)
{
    if (!isValidKey(key))
        return;
    // The values file holds one line per value.
    std::string line(value);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    m_values.insert_or_assign(std::string(key), std::move(line));
}

void SystemValues::erase(std::string_view key)
{
    if (const auto found = m_values.find(key); found != m_values.end())
        m_values.erase(found);
}

bool SystemValues::isValidKey(std::string_view key)
{
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

} // namespace marlit
