#pragma once

#include "core/fs/FileStamp.h"
#include "gui/snapshots/SnapshotImage.h"

#include <QSize>

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

// Pictures already scaled for their cells, so that a row whose pictures were decoded before it
// was selected shows them at once. Keyed by file, cell size and fit. A picture whose file changed
// since it was decoded (size, modification time, or another file put at its name) is dropped
// when looked up, and so is one whose file has gone. Bounded: at most maxBytes of pixels and
// maxEntries pictures, the least recently used going first; a picture larger than maxBytes
// alone is not kept. Safe to use from several threads.
class SnapshotCache
{
public:
    static constexpr qint64 kDefaultMaxBytes = qint64(24) << 20;
    static constexpr std::size_t kDefaultMaxEntries = 64;

    explicit SnapshotCache(qint64 maxBytes = kDefaultMaxBytes, std::size_t maxEntries = kDefaultMaxEntries);

    // picture: decoded for cell from the file at path as stamp tells it was (none: it could not
    // be opened); kept as its copy for the cell alone.
    void insert(const std::string &path, QSize cell, const std::optional<marlit::FileStamp> &stamp,
                const SnapshotImage &picture);
    // The picture kept for path, cell and fit while the file is as it was; none otherwise.
    std::optional<SnapshotImage> find(const std::string &path, QSize cell,
                                      SnapshotImage::Fit fit = SnapshotImage::Fit::Stretch);

    qint64 bytes() const;
    std::size_t count() const;
    void clear();

private:
    struct Key
    {
        std::string path;
        int width;
        int height;
        SnapshotImage::Fit fit;
        friend bool operator==(const Key &, const Key &) = default;
    };
    struct KeyHash
    {
        std::size_t operator()(const Key &key) const;
    };
    struct Entry
    {
        SnapshotImage picture;
        std::optional<marlit::FileStamp> stamp;
        qint64 bytes;
        std::list<Key>::iterator use; // place in m_useOrder
    };

    void erase(std::unordered_map<Key, Entry, KeyHash>::iterator entry); // under m_mutex

    const qint64 m_maxBytes;
    const std::size_t m_maxEntries;
    mutable std::mutex m_mutex;
    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::list<Key> m_useOrder; // most recently used first
    qint64 m_bytes = 0;
};
