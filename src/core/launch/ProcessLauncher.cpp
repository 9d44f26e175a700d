#include "core/launch/ProcessLauncher.h"

#include "core/fs/FileDescriptor.h"
#include "core/fs/WorkingDirectory.h"
#include "core/launch/ErrorRelay.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace marlit {

namespace {

// Why the new process could not run the program, sent through the start pipe before it exits.
enum class Stage : int { Fork = 1, ChangeDirectory = 2, Exec = 3 };

struct Failure
{
    Stage stage;
    int error;
};

std::string describe(const std::string &what, int error)
{
    return what + ": " + std::strerror(error);
}

bool isExecutableFile(const std::string &path, int &error)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        // A folder is said as one, not as a permission the user could not mend.
        error = S_ISDIR(info.st_mode) ? EISDIR : EACCES;
        return false;
    }
    if (access(path.c_str(), X_OK) != 0) {
        error = errno;
        return false;
    }
    return true;
}

// The program's path as the child will execute it. The child changes directory before it
// executes, so a relative path is fixed against the caller's directory here.
bool resolveProgram(const std::string &program, std::string &resolved, int &error)
{
    if (program.empty()) {
        error = ENOENT;
        return false;
    }
    if (program.find('/') != std::string::npos) {
        if (program.front() == '/') {
            resolved = program;
        } else {
            const std::optional<std::string> current = currentDirectory();
            if (!current) {
                error = errno;
                return false;
            }
            resolved = *current + '/' + program;
        }
        // Checked here, before the working directory: when both are wrong (an emulator folder
        // that is not there), the program is what the user named and what the report names.
        return isExecutableFile(resolved, error);
    }

    const char *pathVariable = std::getenv("PATH");
    const std::string_view searchPath = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    // Remember that a candidate existed but could not be run, to report that rather than "not found".
    int firstError = ENOENT;
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos)
            end = searchPath.size();
        std::string folder(searchPath.substr(start, end - start));
        // An empty element of PATH stands for the current directory.
        std::string candidate = folder.empty() ? program : folder + '/' + program;
        if (candidate.front() != '/')
            if (!resolveProgram("./" + candidate, candidate, error))
                return false;
        int candidateError = 0;
        if (isExecutableFile(candidate, candidateError)) {
            resolved = std::move(candidate);
            return true;
        }
        if (candidateError != ENOENT && candidateError != ENOTDIR && firstError == ENOENT)
            firstError = candidateError;
        start = end + 1;
    }
    error = firstError;
    return false;
}

// Two connected sockets that keep each message whole, both close-on-exec.
bool makeSocketPair(FileDescriptor &ours, FileDescriptor &theirs)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    ours = FileDescriptor(fds[0]);
    theirs = FileDescriptor(fds[1]);
    return true;
}

// A pipe whose two ends are close-on-exec.
bool makePipe(FileDescriptor &readEnd, FileDescriptor &writeEnd)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd = FileDescriptor(fds[0]);
    writeEnd = FileDescriptor(fds[1]);
    return true;
}

// Moves a descriptor above the standard ones (it lands there when one of them is closed), so
// that setting up standard input in the new process cannot overwrite it.
bool keepAboveStandardStreams(FileDescriptor &fd)
{
    if (fd.get() > STDERR_FILENO)
        return true;
    FileDescriptor moved(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (!moved.valid())
        return false;
    fd = std::move(moved);
    return true;
}

// Everything the new processes use, prepared before the fork: after it, a process of a
// multi-threaded program may only make async-signal-safe calls, so nothing is allocated there.
struct Plan
{
    std::vector<char *> argv;      // the program, its arguments, a null pointer
    std::vector<char *> shellArgv; // the same run by /bin/sh, for a file without "#!"
    const char *workingDirectory = nullptr;
    int devNull = -1;
    int startReport = -1; // write end: a Failure, or end of file once the program runs
    // With a watch (all -1 without): the socket end that takes the watch's report, and the pipes
    // that are the program's standard error and output.
    int watchReport = -1;
    int errorRead = -1;
    int errorWrite = -1;
    int outputRead = -1;
    int outputWrite = -1;
    std::chrono::milliseconds watchTime{};
    int openMax = 1024; // for closing descriptors where close_range is missing
};

// ---- Between fork and exec: async-signal-safe calls only -------------------------------------

[[noreturn]] void reportAndExit(int fd, Stage stage, int error)
{
    const Failure failure{stage, error};
    writeFully(fd, &failure, sizeof failure); // when it fails, nobody is left to tell
    _exit(127);
}

// Closes the descriptors first..last.
void closeRange(unsigned first, unsigned last, int openMax)
{
    if (first > last || ::close_range(first, last, 0) == 0)
        return;
    // Kernels before 5.9 lack close_range: one descriptor at a time.
    for (unsigned fd = first; fd <= last && fd < static_cast<unsigned>(openMax); ++fd)
        ::close(static_cast<int>(fd));
}

// Closes every descriptor but the standard ones and those in keep (-1 for none).
template <std::size_t N> void closeAllBut(std::array<int, N> keep, int openMax)
{
    std::sort(keep.begin(), keep.end()); // sorting a few ints allocates nothing
    unsigned first = STDERR_FILENO + 1;
    for (const int fd : keep) {
        if (fd < static_cast<int>(first))
            continue;
        closeRange(first, static_cast<unsigned>(fd) - 1, openMax);
        first = static_cast<unsigned>(fd) + 1;
    }
    closeRange(first, ~0U, openMax);
}

void resetSignalHandling()
{
    struct sigaction defaultAction
    {
    };
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &defaultAction, nullptr); // fails harmlessly for KILL, STOP and the like
}

long long nowMilliseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

[[noreturn]] void runProgram(const Plan &plan)
{
    // Standard input from /dev/null, output and error ours or the watch's pipes. Nothing else
    // is left open but the start report, which closes as the program starts.
    if (::dup2(plan.devNull, STDIN_FILENO) < 0 ||
        (plan.errorWrite >= 0 && ::dup2(plan.errorWrite, STDERR_FILENO) < 0) ||
        (plan.outputWrite >= 0 && ::dup2(plan.outputWrite, STDOUT_FILENO) < 0))
        reportAndExit(plan.startReport, Stage::Exec, errno);
    for (const int fd :
         {plan.devNull, plan.watchReport, plan.errorRead, plan.errorWrite, plan.outputRead, plan.outputWrite})
        if (fd >= 0)
            ::close(fd);

    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    if (plan.workingDirectory && ::chdir(plan.workingDirectory) != 0)
        reportAndExit(plan.startReport, Stage::ChangeDirectory, errno);
    ::execv(plan.argv[0], plan.argv.data());
    const int error = errno;
    // A file without "#!" is a shell script to a shell, and so it is here.
    if (error == ENOEXEC)
        ::execv(plan.shellArgv[0], plan.shellArgv.data());
    reportAndExit(plan.startReport, Stage::Exec, error);
}

// Copies the program's standard error and output on to ours until the program closes them, then
// exits.
[[noreturn]] void relayUntilTheEnd(ErrorRelay &error, ErrorRelay &output)
{
    while (!error.finished() || !output.finished()) {
        pollfd fds[4];
        error.preparePoll(fds[0], fds[1]);
        output.preparePoll(fds[2], fds[3]);
        if (::poll(fds, 4, -1) > 0) {
            error.transfer(fds[0], fds[1]);
            output.transfer(fds[2], fds[3]);
        }
    }
    _exit(0);
}

// Copies its input to its output and, once the output fails, to /dev/null alone, so the
// program's standard error is drained to its end either way (SIGPIPE stays ignored across exec).
constexpr const char *kCopyProgram = "/usr/bin/tee";

// Leaves the copying to a small program of the system's: this process is a fork of the window's,
// and would keep a copy-on-write image of all its memory for as long as the program runs.
[[noreturn]] void handOverTheCopying(ErrorRelay &relay, int fromProgram, int to)
{
    while (relay.holdsOutput()) { // what was read goes first, in order
        pollfd input{-1, 0, 0}, output{};
        relay.preparePoll(input, output);
        input = {-1, 0, 0};
        if (::poll(&output, 1, -1) > 0)
            relay.transfer(input, output);
    }
    const int flags = ::fcntl(fromProgram, F_GETFL);
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (flags >= 0 && devNull >= 0 && ::fcntl(fromProgram, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
        (to == STDOUT_FILENO || ::dup2(to, STDOUT_FILENO) == STDOUT_FILENO) &&
        ::dup2(fromProgram, STDIN_FILENO) == STDIN_FILENO) {
        const int ourError = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (ourError >= 0 && ::dup2(devNull, STDERR_FILENO) == STDERR_FILENO) {
            const char *const argv[] = {"tee", "--output-error=warn", "/dev/null", nullptr};
            ::execv(kCopyProgram, const_cast<char *const *>(argv));
            ::dup2(ourError, STDERR_FILENO);
        }
    }
    ErrorRelay rest(fromProgram, to); // no such program: copy here after all
    ErrorRelay none(-1, -1);
    relayUntilTheEnd(rest, none);
}

// Starts the program as its child and watches it for the watch time, copying its standard error
// and output on to ours meanwhile; then reports and leaves: what is left to copy goes on in a
// process of its own per stream, so that the program, still running, is handed to init like any
// other.
[[noreturn]] void watchProgram(const Plan &plan)
{
    ::prctl(PR_SET_NAME, "marlit-watch");
    const pid_t program = ::fork();
    if (program < 0)
        reportAndExit(plan.startReport, Stage::Fork, errno);
    if (program == 0)
        runProgram(plan);
    // Opened while the program is our child and cannot be reaped by anyone else: this is it.
    const int programFd = static_cast<int>(::syscall(SYS_pidfd_open, program, 0));
    for (const int fd : {plan.startReport, plan.devNull, plan.errorWrite, plan.outputWrite, STDIN_FILENO})
        ::close(fd);
    // Ended by a signal like any process (a shutdown's SIGTERM at once), but never by a reader of
    // our standard error that has gone: that would cut the program's standard error off.
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ErrorRelay relay(plan.errorRead, STDERR_FILENO);
    ErrorRelay output(plan.outputRead, STDOUT_FILENO);

    LaunchWatch::Message message;
    const long long deadline = nowMilliseconds() + plan.watchTime.count();
    for (;;) {
        int status = 0;
        if (::waitpid(program, &status, WNOHANG) == program) {
            message.ended = 1;
            message.status = status;
            relay.takeWhatIsThere(); // all it wrote is in the pipes now
            output.takeWhatIsThere();
            break;
        }
        const long long left = deadline - nowMilliseconds();
        if (left <= 0)
            break;
        pollfd fds[5] = {{programFd, POLLIN, 0}, {}, {}, {}, {}};
        relay.preparePoll(fds[1], fds[2]);
        output.preparePoll(fds[3], fds[4]);
        // Without a pidfd (a kernel before 5.3) the end is looked for now and then.
        const int timeout = static_cast<int>(programFd >= 0 ? left : std::min(left, 50LL));
        if (::poll(fds, 5, timeout) > 0) {
            relay.transfer(fds[1], fds[2]);
            output.transfer(fds[3], fds[4]);
        }
    }
    message.cut = relay.tail().cut() ? 1 : 0;
    message.tailSize = static_cast<std::uint32_t>(relay.tail().copyTo(message.tail));
    message.outputCut = output.tail().cut() ? 1 : 0;
    message.outputSize = static_cast<std::uint32_t>(output.tail().copyTo(message.tail + message.tailSize));
    LaunchWatch::send(plan.watchReport, message, message.ended ? -1 : programFd);
    ::close(plan.watchReport);
    if (programFd >= 0)
        ::close(programFd);

    if (message.ended || (relay.finished() && output.finished()))
        relayUntilTheEnd(relay, output); // no program to hand on, or nothing left to copy
    const auto handOver = [&](ErrorRelay &stream, int fromProgram, int otherPipe, int to, const char *name) {
        if (stream.finished())
            return true;
        const pid_t relayProcess = ::fork();
        if (relayProcess == 0) {
            ::prctl(PR_SET_NAME, name);
            ::close(otherPipe);
            handOverTheCopying(stream, fromProgram, to);
        }
        return relayProcess > 0;
    };
    const bool errorHandedOver = handOver(relay, plan.errorRead, plan.outputRead, STDERR_FILENO, "marlit-stderr");
    const bool outputHandedOver = handOver(output, plan.outputRead, plan.errorRead, STDOUT_FILENO, "marlit-stdout");
    if (!errorHandedOver || !outputHandedOver) {
        // Better the program's parent than a stream of it cut off.
        ErrorRelay none(-1, -1);
        relayUntilTheEnd(errorHandedOver ? none : relay, outputHandedOver ? none : output);
    }
    _exit(0);
}

// The process between us and the program: it starts the program, or the process that watches
// it, in a session of its own and exits at once, so neither is our child.
[[noreturn]] void startInNewSession(const Plan &plan)
{
    // A session of its own, so the program outlives us and gets no signal meant for our terminal.
    ::setsid();
    // Our signal handlers are no business of these processes; every signal stays blocked here
    // (the fork was made with all of them blocked) until the program or the watch sets its own.
    resetSignalHandling();
    // Every descriptor we hold or inherited goes, close-on-exec or not, before the program is
    // even forked: it must get none, and none is held here for the watch time.
    closeAllBut(std::array{plan.devNull, plan.startReport, plan.watchReport, plan.errorRead, plan.errorWrite,
                           plan.outputRead, plan.outputWrite},
                plan.openMax);

    const pid_t child = ::fork();
    if (child < 0)
        reportAndExit(plan.startReport, Stage::Fork, errno);
    if (child == 0) {
        if (plan.watchReport >= 0)
            watchProgram(plan);
        runProgram(plan);
    }
    _exit(0); // what we started is init's now, which reaps it
}

} // namespace

ProcessLauncher::Result ProcessLauncher::startDetached(const LaunchRequest &request,
                                                       std::chrono::milliseconds watchTime)
{
    Result result;
    const auto fail = [&](std::string error, std::string reason) {
        result.error = std::move(error);
        result.reason = std::move(reason);
        return std::move(result);
    };
    const auto cannotStart = [&](int error) {
        return fail(describe("cannot start " + request.program, error), std::strerror(error));
    };

    std::string program;
    int error = 0;
    if (!resolveProgram(request.program, program, error))
        return cannotStart(error);

    Plan plan;
    std::vector<std::string> arguments = request.arguments;
    std::string shell = "/bin/sh";
    plan.argv.reserve(arguments.size() + 2);
    plan.argv.push_back(program.data());
    for (std::string &argument : arguments)
        plan.argv.push_back(argument.data());
    plan.argv.push_back(nullptr);
    plan.shellArgv.reserve(plan.argv.size() + 1);
    plan.shellArgv.push_back(shell.data());
    plan.shellArgv.insert(plan.shellArgv.end(), plan.argv.begin(), plan.argv.end());
    plan.workingDirectory = request.workingDirectory.empty() ? nullptr : request.workingDirectory.c_str();
    plan.watchTime = watchTime;
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        plan.openMax = static_cast<int>(std::min<rlim_t>(files.rlim_cur, 1 << 20));

    FileDescriptor devNull(::open("/dev/null", O_RDWR | O_CLOEXEC));
    FileDescriptor startRead, startWrite, reportRead, reportWrite, errorRead, errorWrite, outputRead, outputWrite;
    const bool watching = watchTime > std::chrono::milliseconds::zero();
    if (!devNull.valid() || !keepAboveStandardStreams(devNull) || !makePipe(startRead, startWrite) ||
        !keepAboveStandardStreams(startWrite) ||
        (watching && (!makeSocketPair(reportRead, reportWrite) || !keepAboveStandardStreams(reportWrite) ||
                      !makePipe(errorRead, errorWrite) || !keepAboveStandardStreams(errorRead) ||
                      !keepAboveStandardStreams(errorWrite) || !makePipe(outputRead, outputWrite) ||
                      !keepAboveStandardStreams(outputRead) || !keepAboveStandardStreams(outputWrite))))
        return cannotStart(errno);
    plan.devNull = devNull.get();
    plan.startReport = startWrite.get();
    plan.watchReport = reportWrite.get();
    plan.errorRead = errorRead.get();
    plan.errorWrite = errorWrite.get();
    plan.outputRead = outputRead.get();
    plan.outputWrite = outputWrite.get();

    // No signal handler of ours may run in the new process before it has reset them all.
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t child = ::fork();
    const int forkError = errno;
    if (child == 0)
        startInNewSession(plan);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (child < 0)
        return cannotStart(forkError);

    for (FileDescriptor *theirs :
         {&startWrite, &reportWrite, &errorRead, &errorWrite, &outputRead, &outputWrite, &devNull})
        theirs->close();
    // The process in between exits as soon as it has forked; reaping it leaves no zombie.
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    // The start pipe closes when the program runs (close-on-exec) or its process exits: end of
    // file means it started, a record says why not.
    Failure failure{};
    const std::size_t got = readUpTo(startRead.get(), &failure, sizeof failure);

    if (got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        result.started = true;
        result.watch = LaunchWatch(std::move(reportRead));
        return result;
    }
    if (got < sizeof failure)
        return fail("cannot start " + request.program + ": the new process ended before it ran the program",
                    "the new process ended before it ran the program");
    if (failure.stage == Stage::ChangeDirectory) {
        std::string error = describe("cannot change to " + request.workingDirectory, failure.error);
        return fail(error, error);
    }
    return cannotStart(failure.error);
}

} // namespace marlit
