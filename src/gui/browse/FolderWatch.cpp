#include "gui/browse/FolderWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <system_error>
#include <thread>

#include <unistd.h>

FolderWatch::FolderWatch(marlit::FileDescriptor inotify, QObject *parent)
    : QObject(parent), m_inotify(std::move(inotify))
{
    m_notifier = new QSocketNotifier(m_inotify.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatch::readEvents);
}

FolderWatch::~FolderWatch()
{
    delete m_notifier; // before its descriptor closes
    // Closing an inotify descriptor waits for the kernel to retire its watches, over 10 ms at
    // times: long enough to be felt at every change of system, so it is done on another thread.
    try {
        std::thread([closing = std::move(m_inotify)]() mutable { closing.close(); }).detach();
    } catch (const std::system_error &) {
        // No thread to be had: the descriptor has closed here, with the lambda that held it.
    }
}

void FolderWatch::readEvents()
{
    marlit::WatchEvents::Summary summary;
    // A burst of events is taken a few buffers per turn; the rest wait for the next one.
    for (int turn = 0; turn < 16; ++turn) {
        alignas(8) char buffer[16 * 1024];
        const ssize_t got = ::read(m_inotify.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        const marlit::WatchEvents::Summary part =
            marlit::WatchEvents::summarise(std::string_view(buffer, static_cast<std::size_t>(got)));
        summary.files = summary.files || part.files;
        summary.folders = summary.folders || part.folders;
        summary.lost = summary.lost || part.lost;
    }
    if (summary.any())
        emit changed(summary);
}
