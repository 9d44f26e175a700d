#pragma once

#include "core/launch/ErrorTail.h"

#include <array>
#include <cstddef>
#include <poll.h>

namespace marlit {

// Carries what a program writes to its standard error (or output), read from a pipe, on to a
// descriptor of ours, and keeps the last bytes. It runs in the process that watches the program (forked from
// a threaded one), so it allocates nothing and makes system calls only.
//
// Neither side can hold it up: poll says when each is ready, and a write that fails for good
// (a pipe nobody reads any more, a full disk) turns the rest into reading and dropping. So the
// program never blocks on a full pipe, nor gets SIGPIPE, because of us.
class ErrorRelay
{
public:
    // Reads from fromProgram, which it makes non-blocking, and writes to to; with fromProgram -1,
    // finished at once.
    ErrorRelay(int fromProgram, int to) noexcept;

    // Fills the two entries of the next poll; an entry with nothing to wait for gets fd -1.
    void preparePoll(pollfd &input, pollfd &output) const noexcept;
    // Moves what that poll said is ready, without waiting.
    void transfer(const pollfd &input, const pollfd &output) noexcept;
    // Takes what is already in the pipe, as far as it has room, without waiting: once the
    // program has ended, everything it wrote is there.
    void takeWhatIsThere() noexcept;

    // The pipe is at its end and everything read from it went on (or cannot).
    bool finished() const noexcept { return m_inputEnded && m_start == m_end; }
    // Bytes read and still to be written (none once the output has failed).
    bool holdsOutput() const noexcept { return m_start < m_end; }
    const ErrorTail &tail() const noexcept { return m_tail; }

private:
    // A write of at most this many bytes to a pipe that poll called writable does not block.
    static constexpr std::size_t kWriteChunk = 4096;

    bool readSome() noexcept;
    void writeSome() noexcept;

    int m_input;
    int m_output;
    bool m_inputEnded = false;
    bool m_outputFailed = false;
    std::array<char, 16384> m_buffer{}; // read but not yet written: m_start..m_end
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    ErrorTail m_tail;
};

} // namespace marlit
