#pragma once

#include "core/fs/FileDescriptor.h"
#include "core/pad/VirtualPadLine.h"

#include <functional>
#include <string>
#include <thread>

namespace marlit {

// Reads the lines written to a FIFO on a thread of its own and hands each on, in order: a
// parsed line to onLine, a line that is not one (or a FIFO that cannot be read) to onProblem,
// both called on that thread. When the last writer closes, the FIFO is opened again for the
// next. Nothing here ever waits on the caller's thread, the destructor included.
class VirtualPadFifo
{
public:
    using LineHandler = std::function<void(const VirtualPadLine &)>;
    using ProblemHandler = std::function<void(const std::string &)>;
    static constexpr std::size_t kLongestLine = 4096;

    VirtualPadFifo(std::string path, LineHandler onLine, ProblemHandler onProblem);
    ~VirtualPadFifo();
    VirtualPadFifo(const VirtualPadFifo &) = delete;
    VirtualPadFifo &operator=(const VirtualPadFifo &) = delete;

private:
    void run();
    // Waits until fd is readable or the reader is told to stop; false for the latter.
    bool waitReadable(int fd, int timeoutMs);
    void takeLine(std::string_view line);

    std::string m_path;
    LineHandler m_onLine;
    ProblemHandler m_onProblem;
    FileDescriptor m_stop; // an eventfd, readable once the reader is to stop
    std::thread m_thread;
};

} // namespace marlit
