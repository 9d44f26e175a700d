#include "core/pad/VirtualPadFifo.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using marlit::VirtualPadFifo;
using marlit::VirtualPadLine;
using marlit::test::TempDir;
using namespace std::chrono_literals;

namespace {

// What the reader handed on, as text, in order.
struct Seen
{
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> items;

    void add(std::string item)
    {
        const std::lock_guard lock(mutex);
        items.push_back(std::move(item));
        changed.notify_all();
    }
    std::vector<std::string> waitFor(std::size_t count)
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 20s, [&] { return items.size() >= count; });
        return items;
    }
};

// One writer: each part a write of its own.
void writeAndClose(const std::string &path, const std::vector<std::string> &parts)
{
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    for (const std::string &text : parts) {
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        std::this_thread::sleep_for(10ms);
    }
    ::close(fd);
}

TEST(VirtualPadFifoTest, LinesComeInOrderAcrossWritersAndBadOnesAreSaid)
{
    TempDir dir;
    const std::string path = dir.file("pad");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    Seen seen;
    {
        VirtualPadFifo fifo(
            path,
            [&](const VirtualPadLine &line) { seen.add(line.chord.text() + " " + std::to_string(line.hold.count())); },
            [&](const std::string &problem) { seen.add("problem " + problem); });
        // A line split across writes, a blank one, a bad one, then a second writer once the
        // first closed (the FIFO opened again) whose last line has no newline.
        writeAndClose(path, {"a\ndpd", "own 30\n\nfly\r\n"});
        writeAndClose(path, {"back+start 1000"});
        EXPECT_EQ(seen.waitFor(4),
                  (std::vector<std::string>{"a 100", "dpdown 30", "problem \"fly\": no button is called \"fly\"",
                                            "back+start 1000"}));
    } // stops at once with no writer
}

TEST(VirtualPadFifoTest, APathThatIsNoFifoIsSaidOnceAndNotReadAgain)
{
    TempDir dir;
    dir.write("plain", "a\n");
    Seen seen;
    VirtualPadFifo fifo(
        dir.file("plain"), [&](const VirtualPadLine &line) { seen.add(line.chord.text()); },
        [&](const std::string &problem) { seen.add(problem); });
    EXPECT_EQ(seen.waitFor(1), (std::vector<std::string>{dir.file("plain") + " is not a FIFO"}));
}

} // namespace
