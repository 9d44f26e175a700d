#include "gui/catalogue/CatalogueWatch.h"

#include "core/fs/Paths.h"

#include <QApplication>
#include <QFile>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

QString fromBytes(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool sameFile(const std::optional<marlit::FileStamp> &a, const std::optional<marlit::FileStamp> &b)
{
    return a && b && a->device == b->device && a->inode == b->inode;
}

} // namespace

CatalogueWatch::CatalogueWatch(QObject *parent)
    : QObject(parent), m_watcher(new QFileSystemWatcher(this)), m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    connect(m_settle, &QTimer::timeout, this, &CatalogueWatch::look);
    const auto notice = [this] { m_settle->start(kSettleMs); };
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, notice);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, notice);
}

CatalogueWatch::~CatalogueWatch() = default;

void CatalogueWatch::follow(const std::string &path, const std::optional<marlit::FileStamp> &stamp)
{
    if (path != m_path) {
        const QStringList watched = m_watcher->files() + m_watcher->directories();
        if (!watched.isEmpty())
            m_watcher->removePaths(watched);
        m_watchedFile.reset();
        m_path = path;
        const std::string folder = marlit::splitAfterLastSeparator(path).folder;
        m_watcher->addPath(fromBytes(folder.empty() ? std::string(".") : folder));
    }
    m_stamp = stamp;
    watchFile(stamp);
}

void CatalogueWatch::look()
{
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        m_settle->start(kRetryMs);
        return;
    }
    const std::optional<marlit::FileStamp> now = marlit::FileStamp::of(m_path);
    watchFile(now);
    if (now != m_stamp)
        emit changedOnDisk();
    emit looked();
}

void CatalogueWatch::watchFile(const std::optional<marlit::FileStamp> &now)
{
    const QString file = fromBytes(m_path);
    const bool watched = m_watcher->files().contains(file);
    if (watched && sameFile(now, m_watchedFile))
        return;
    if (watched)
        m_watcher->removePath(file);
    m_watchedFile.reset();
    if (now && m_watcher->addPath(file))
        m_watchedFile = now;
}

#include "moc_CatalogueWatch.cpp"
