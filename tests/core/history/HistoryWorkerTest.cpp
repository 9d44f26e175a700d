// The history's thread: jobs in order on an open store, a wait that is bounded, and a close that
// never waits for a thread stuck in the disk (whose queued writes still land once it is free).

#include "core/history/HistoryWorker.h"
#include "core/history/HistoryStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using marlit::HistoryStore;
using marlit::HistoryWorker;
using marlit::SystemKey;
using marlit::test::TempDir;

namespace {

const SystemKey kSnes{"console.ini", "Super Nintendo"};

} // namespace

TEST(HistoryWorker, ClosingWaitsBoundedForAStuckJobAndItsQueueLandsLater)
{
    TempDir dir;
    const std::string file = dir.file(HistoryStore::kFileName);
    std::promise<void> diskFree;
    std::shared_future<void> freed = diskFree.get_future().share();
    {
        HistoryWorker worker(file);
        bool opened = false; // the worker's until the wait below has seen its job done
        worker.post([&opened](HistoryStore &store) { opened = store.kept(); });
        ASSERT_TRUE(worker.waitUntilDone(std::chrono::seconds(20)));
        EXPECT_TRUE(opened) << "the store is open before the first job";

        // A job that hangs as a write to a disk that stopped answering would, and a play behind it.
        worker.post([freed](HistoryStore &) { freed.wait(); });
        worker.post([](HistoryStore &store) { store.recordPlay("/roms/a.nes", kSnes, 7); });
        EXPECT_FALSE(worker.waitUntilDone(std::chrono::milliseconds(50)));
    } // returns after its bounded wait, leaving the stuck thread behind
    diskFree.set_value();

    // The thread left behind carries on with what was queued.
    std::optional<marlit::RomHistory> found;
    for (int tries = 0; tries < 200 && !found; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        HistoryStore reader(file);
        reader.open();
        found = reader.find("/roms/a.nes");
    }
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->plays, 1);
}
