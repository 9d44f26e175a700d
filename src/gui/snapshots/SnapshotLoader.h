#pragma once

#include "core/snapshots/SnapshotFinder.h"
#include "core/snapshots/SnapshotSearch.h"
#include "gui/snapshots/SnapshotCache.h"
#include "gui/snapshots/SnapshotImage.h"

#include <QObject>
#include <QSize>

#include <array>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Finds and decodes snapshot pictures off the UI thread, on two worker threads of its own.
//
// Each of the two slots (0 = A, 1 = B) has its own generation: a new request or a cancel for a
// slot makes every earlier result for it stale, and a stale result is never delivered (nor
// decoded further: a decode under way stops at its next read of the file).
//
// Pictures decoded for a cell are kept in a small cache (SnapshotCache). A request whose picture
// is in the cache, for a file unchanged since, is answered at once, before the call returns.
// prefetch() fills the cache with the pictures of the rows around the selected one, behind every
// request for a slot; a prefetch under way for a picture that a slot then asks for is taken
// over, not started again.
//
// The threads hand results over under one mutex of the standard library, and the UI thread is
// woken by a queued call: every exchange between threads is one a race detector can follow.
class SnapshotLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSlots = 2;

    // workFolder is the folder the program works in ("" for the working directory, else ending
    // with the separator), where the fallback picture "NoShot.png" is.
    explicit SnapshotLoader(const std::string &workFolder = {}, QObject *parent = nullptr);
    // With a finder of the caller's (tests give one that reads folders their own way).
    explicit SnapshotLoader(std::shared_ptr<marlit::SnapshotFinder> finder, QObject *parent = nullptr);
    ~SnapshotLoader() override;

    // The snapshot of romName in directory (see SnapshotFinder), for slot. targetSize is the
    // cell's size in window pixels; the picture is scaled ahead for the screen's density. When
    // the folder has none, the file insteadOfFallback (when given: a game's own picture) is shown
    // rather than the fallback picture, keeping its proportions.
    void requestSnapshot(int slot, const std::string &directory, const std::string &romName, QSize targetSize,
                         const std::string &insteadOfFallback = {});
    // A known picture file, for slot (a system's default picture, or a game's own).
    void requestFile(int slot, const std::string &path, QSize targetSize,
                     SnapshotImage::Fit fit = SnapshotImage::Fit::Stretch);
    // Drops whatever is pending for slot.
    void cancel(int slot);

    // Decodes into the cache the pictures of romNames, nearest first, for each slot whose
    // directory is set, at that slot's size. Replaces the previous prefetch: what it asked for
    // and is no longer asked for is dropped. Pictures already in the cache are not decoded again.
    void prefetch(const std::array<std::string, kSlots> &directories, const std::array<QSize, kSlots> &sizes,
                  const std::vector<std::string> &romNames);
    void cancelPrefetch() { prefetch({}, {}, {}); }

    // Why slot shows the fallback picture or nothing, from the look-up behind the picture
    // delivered to it (see SnapshotSearch::whyNoPicture); empty when it shows the picture found,
    // or when nothing was delivered since the last request or cancel for it.
    std::string whyNoPicture(int slot) const;

    // Blocks until no decode is queued or under way; results stay undelivered.
    void waitForWorkers();
    // Blocks until every request has been handled and its result delivered (tests, benchmarks).
    void waitForIdle();

    SnapshotCache &cache() { return m_cache; }

signals:
    // The newest picture for slot; image may be null (file unreadable).
    void snapshotReady(int slot, const SnapshotImage &image);

private slots:
    void deliverResults();

private:
    struct Job;
    using JobPtr = std::shared_ptr<Job>;
    struct Result
    {
        int slot;
        quint64 generation;
        SnapshotImage image;
        marlit::SnapshotSearch search;
    };
    struct Delivered
    {
        marlit::SnapshotSearch search;
        bool pictureRead;
    };

    void request(int slot, std::string directory, std::string romName, std::string path, SnapshotImage::Fit fit,
                 QSize cell, const std::string &insteadOfFallback);
    // The look-up that shows path in place of a fallback.
    static marlit::SnapshotSearch instead(const marlit::SnapshotSearch &search, const std::string &path);
    bool deliverCached(int slot, const std::optional<marlit::SnapshotSearch> &search, QSize targetSize,
                       SnapshotImage::Fit fit);
    // The picture a cache hit gives for directory and romName (or path), if any.
    std::optional<marlit::SnapshotSearch> heldSearch(const std::string &directory, const std::string &romName,
                                                     const std::string &path);
    void work();
    Result run(Job &job);
    // Under m_mutex.
    void abandon(const JobPtr &job);

    std::shared_ptr<marlit::SnapshotFinder> m_finder;
    SnapshotCache m_cache;

    // UI thread only.
    std::array<quint64, kSlots> m_generations{};
    std::array<std::optional<Delivered>, kSlots> m_delivered;

    // Shared with the workers, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_workDone;
    std::deque<JobPtr> m_requests;   // for a slot, first come first served
    std::deque<JobPtr> m_prefetches; // for the cache, taken once no request waits
    std::array<JobPtr, kSlots> m_slotJobs;
    std::vector<JobPtr> m_prefetchJobs; // queued or under way
    int m_unfinished = 0;               // queued or under way
    std::vector<Result> m_results;      // waiting for the UI thread
    bool m_stopping = false;

    std::vector<std::thread> m_workers;
};
