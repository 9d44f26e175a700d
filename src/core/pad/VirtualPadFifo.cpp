#include "core/pad/VirtualPadFifo.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>

namespace marlit {

VirtualPadFifo::VirtualPadFifo(std::string path, LineHandler onLine, ProblemHandler onProblem)
    : m_path(std::move(path)), m_onLine(std::move(onLine)), m_onProblem(std::move(onProblem)),
      m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_thread = std::thread([this] { run(); });
}

VirtualPadFifo::~VirtualPadFifo()
{
    const std::uint64_t one = 1;
    (void)!::write(m_stop.get(), &one, sizeof one);
    m_thread.join();
}

bool VirtualPadFifo::waitReadable(int fd, int timeoutMs)
{
    pollfd watched[2] = {{m_stop.get(), POLLIN, 0}, {fd, POLLIN, 0}};
    while (::poll(watched, fd >= 0 ? 2 : 1, timeoutMs) < 0 && errno == EINTR) {
    }
    return (watched[0].revents & POLLIN) == 0;
}

void VirtualPadFifo::run()
{
    std::string pending;
    bool overlong = false;
    FileDescriptor fifo;
    while (true) {
        // Opened without waiting for a writer: the open itself never blocks the thread's stop.
        // The next descriptor is opened before the last one closes, so the FIFO always has a
        // reader and what a writer put in meanwhile is never thrown away with it.
        FileDescriptor next(::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        fifo = std::move(next);
        struct stat status
        {
        };
        if (!fifo.valid() || ::fstat(fifo.get(), &status) != 0 || !S_ISFIFO(status.st_mode)) {
            m_onProblem(m_path + (fifo.valid() ? " is not a FIFO" : std::string(": ") + std::strerror(errno)));
            return;
        }
        bool open = true;
        while (open) {
            if (!waitReadable(fifo.get(), -1))
                return;
            char buffer[1024];
            const ssize_t got = ::read(fifo.get(), buffer, sizeof buffer);
            if (got < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (got <= 0) {
                open = false; // the last writer closed: wait for the next on a fresh open
                break;
            }
            for (const char byte : std::string_view(buffer, static_cast<std::size_t>(got))) {
                if (byte == '\n') {
                    if (overlong)
                        m_onProblem("a line longer than " + std::to_string(kLongestLine) + " bytes was dropped");
                    else
                        takeLine(pending);
                    pending.clear();
                    overlong = false;
                } else if (pending.size() < kLongestLine) {
                    pending += byte;
                } else {
                    overlong = true;
                }
            }
        }
        // A last line without its newline still counts once its writer has closed.
        if (!pending.empty() && !overlong)
            takeLine(pending);
        pending.clear();
        overlong = false;
    }
}

void VirtualPadFifo::takeLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::string why;
    if (std::optional<VirtualPadLine> parsed = VirtualPadLine::parse(line, &why))
        m_onLine(*parsed);
    else if (!why.empty())
        m_onProblem("\"" + std::string(line) + "\": " + why);
}

} // namespace marlit
