#include "core/launch/ErrorRelay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace marlit {

ErrorRelay::ErrorRelay(int fromProgram, int to) noexcept : m_input(fromProgram), m_output(to)
{
    if (m_input < 0) {
        m_inputEnded = true; // nothing to carry: finished from the start
        return;
    }
    // The pipe is ours alone, so its flags are ours to change; the output's are not.
    const int flags = ::fcntl(m_input, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_input, F_SETFL, flags | O_NONBLOCK);
}

void ErrorRelay::preparePoll(pollfd &input, pollfd &output) const noexcept
{
    const bool room = m_outputFailed || m_start > 0 || m_end < m_buffer.size();
    input = {(!m_inputEnded && room) ? m_input : -1, POLLIN, 0};
    output = {m_start < m_end ? m_output : -1, POLLOUT, 0};
}

void ErrorRelay::transfer(const pollfd &input, const pollfd &output) noexcept
{
    if (output.fd >= 0 && output.revents != 0)
        writeSome();
    if (input.fd >= 0 && input.revents != 0)
        readSome();
}

void ErrorRelay::takeWhatIsThere() noexcept
{
    while (readSome()) {
    }
}

bool ErrorRelay::readSome() noexcept
{
    if (m_inputEnded)
        return false;
    if (m_start == m_end)
        m_start = m_end = 0;
    if (m_end == m_buffer.size() && m_start > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
    }
    if (m_end == m_buffer.size())
        return false; // full: the output has to take some first
    const ssize_t n = ::read(m_input, m_buffer.data() + m_end, m_buffer.size() - m_end);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return false;
    if (n <= 0) {
        m_inputEnded = true;
        return false;
    }
    m_tail.append(m_buffer.data() + m_end, static_cast<std::size_t>(n));
    if (!m_outputFailed)
        m_end += static_cast<std::size_t>(n);
    return true;
}

void ErrorRelay::writeSome() noexcept
{
    const ssize_t n = ::write(m_output, m_buffer.data() + m_start, std::min(m_end - m_start, kWriteChunk));
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        m_outputFailed = true; // nowhere to go: from now on what comes is dropped
        m_start = m_end = 0;
        return;
    }
    m_start += static_cast<std::size_t>(n);
}

} // namespace marlit
