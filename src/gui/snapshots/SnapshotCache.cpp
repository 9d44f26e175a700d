#include "gui/snapshots/SnapshotCache.h"

#include <functional>
#include <utility>

std::size_t SnapshotCache::KeyHash::operator()(const Key &key) const
{
    const std::size_t size = (std::size_t(unsigned(key.width)) << 32) ^ std::size_t(unsigned(key.height));
    return std::hash<std::string>()(key.path) ^ (std::hash<std::size_t>()(size) * 31) ^ std::size_t(key.fit);
}

SnapshotCache::SnapshotCache(qint64 maxBytes, std::size_t maxEntries) : m_maxBytes(maxBytes), m_maxEntries(maxEntries)
{
}

void SnapshotCache::insert(const std::string &path, QSize cell, const std::optional<marlit::FileStamp> &stamp,
                           const SnapshotImage &picture)
{
    SnapshotImage copy = picture.cellCopy();
    const qint64 bytes = copy.bytes();
    Key key{path, cell.width(), cell.height(), picture.fit()};
    const std::lock_guard lock(m_mutex);
    if (const auto held = m_entries.find(key); held != m_entries.end())
        erase(held);
    if (bytes > m_maxBytes || m_maxEntries == 0)
        return;
    m_useOrder.push_front(key);
    m_entries.emplace(std::move(key), Entry{std::move(copy), stamp, bytes, m_useOrder.begin()});
    m_bytes += bytes;
    while (m_bytes > m_maxBytes || m_entries.size() > m_maxEntries)
        erase(m_entries.find(m_useOrder.back()));
}

std::optional<SnapshotImage> SnapshotCache::find(const std::string &path, QSize cell, SnapshotImage::Fit fit)
{
    // The file is looked at before the lock is taken: a stat may be slow on a remote file system.
    const std::optional<marlit::FileStamp> now = marlit::FileStamp::of(path);
    const std::lock_guard lock(m_mutex);
    const auto held = m_entries.find(Key{path, cell.width(), cell.height(), fit});
    if (held == m_entries.end())
        return std::nullopt;
    if (held->second.stamp != now) {
        erase(held);
        return std::nullopt;
    }
    m_useOrder.splice(m_useOrder.begin(), m_useOrder, held->second.use);
    return held->second.picture;
}

qint64 SnapshotCache::bytes() const
{
    const std::lock_guard lock(m_mutex);
    return m_bytes;
}

std::size_t SnapshotCache::count() const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.size();
}

void SnapshotCache::clear()
{
    const std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_useOrder.clear();
    m_bytes = 0;
}

void SnapshotCache::erase(std::unordered_map<Key, Entry, KeyHash>::iterator entry)
{
    m_bytes -= entry->second.bytes;
    m_useOrder.erase(entry->second.use);
    m_entries.erase(entry);
}
