#pragma once

#include "core/snapshots/SnapshotFinder.h"
#include "gui/snapshots/SnapshotImage.h"

#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <array>
#include <atomic>
#include <memory>
#include <string>

// Finds and decodes snapshot pictures off the UI thread. Each of the two slots (0 = A, 1 = B)
// has its own generation: a new request or a cancel for a slot makes every earlier result for
// it stale, and a stale result is never delivered (nor decoded, if it has not started yet).
class SnapshotLoader : public QObject
{
    Q_OBJECT

public:
    // workFolder is the folder the program works in ("" for the working directory, else ending
    // with the separator), where the fallback picture "NoShot.png" is.
    explicit SnapshotLoader(const std::string &workFolder = {}, QObject *parent = nullptr);
    ~SnapshotLoader() override;

    // The snapshot of romName in directory (see SnapshotFinder), for slot. targetSize is the
    // cell's size in window pixels; the picture is scaled ahead for the screen's density.
    void requestSnapshot(int slot, const std::string &directory, const std::string &romName, QSize targetSize);
    // A known picture file, for slot (a system's default picture).
    void requestFile(int slot, const std::string &path, QSize targetSize);
    // Drops whatever is pending for slot.
    void cancel(int slot);

    // Blocks until every request has been handled and its result delivered (tests, benchmarks).
    void waitForIdle();

signals:
    // The newest picture for slot; image may be null (file unreadable).
    void snapshotReady(int slot, const SnapshotImage &image);

private:
    void start(int slot, std::string directory, std::string romName, std::string path, QSize targetSize);

    std::shared_ptr<marlit::SnapshotFinder> m_finder;
    std::shared_ptr<std::array<std::atomic<quint64>, 2>> m_generations;
    QThreadPool m_pool;
    int m_pending = 0;
};
