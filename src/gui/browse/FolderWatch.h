#pragma once

#include "core/browse/WatchEvents.h"
#include "core/fs/FileDescriptor.h"

#include <QObject>

class QSocketNotifier;

// Reads the events of one inotify descriptor (made by a folder reader) on the UI thread, which
// never touches the watched storage for it: only the descriptor's queue is read.
class FolderWatch : public QObject
{
    Q_OBJECT

public:
    FolderWatch(marlit::FileDescriptor inotify, QObject *parent = nullptr);
    ~FolderWatch() override;

signals:
    void changed(const marlit::WatchEvents::Summary &summary);

private:
    void readEvents();

    marlit::FileDescriptor m_inotify;
    QSocketNotifier *m_notifier = nullptr;
};
