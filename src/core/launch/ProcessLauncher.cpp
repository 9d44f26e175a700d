#include "core/launch/ProcessLauncher.h"

#include "core/fs/FileDescriptor.h"
#include "core/fs/WorkingDirectory.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
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
        error = EACCES;
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

// Everything the two new processes use, prepared before the fork: after it, a process of a
// multi-threaded program may only make async-signal-safe calls, so nothing is allocated there.
struct Plan
{
    std::vector<char *> argv;      // the program, its arguments, a null pointer
    std::vector<char *> shellArgv; // the same run by /bin/sh, for a file without "#!"
    const char *workingDirectory = nullptr;
    int devNull = -1;
    int startReport = -1; // write end: a Failure, or end of file once the program runs
    int endReport = -1;   // write end: the program's wait status if it ends while watched; -1: no watch
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
void closeAllBut(std::array<int, 3> keep, int openMax)
{
    std::sort(keep.begin(), keep.end()); // sorting three ints allocates nothing
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
    // Standard input from /dev/null, output and error ours. Nothing else is left open but the
    // start report, which closes as the program starts.
    if (::dup2(plan.devNull, STDIN_FILENO) < 0)
        reportAndExit(plan.startReport, Stage::Exec, errno);
    ::close(plan.devNull);
    if (plan.endReport >= 0)
        ::close(plan.endReport);

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

// The process between us and the program: it starts the program in a session of its own and,
// when asked to, watches it for the watch time.
[[noreturn]] void startAndWatch(const Plan &plan)
{
    // A session of its own, so the program outlives us and gets no signal meant for our terminal.
    ::setsid();
    // Our signal handlers are no business of these processes; every signal stays blocked here
    // (the fork was made with all of them blocked) and the program unblocks them.
    resetSignalHandling();
    // Every descriptor we hold or inherited goes, close-on-exec or not, before the program is
    // even forked: it must get none, and none is held here for the watch time.
    closeAllBut({plan.devNull, plan.startReport, plan.endReport}, plan.openMax);

    const pid_t program = ::fork();
    if (program < 0)
        reportAndExit(plan.startReport, Stage::Fork, errno);
    if (program == 0)
        runProgram(plan);
    ::close(plan.startReport);
    ::close(plan.devNull);
    if (plan.endReport < 0)
        _exit(0); // the program is handed to init, which reaps it

    sigset_t childEnded;
    sigemptyset(&childEnded);
    sigaddset(&childEnded, SIGCHLD);
    const long long deadline = nowMilliseconds() + plan.watchTime.count();
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(program, &status, WNOHANG);
        if (ended == program) {
            writeFully(plan.endReport, &status, sizeof status);
            _exit(0);
        }
        if (ended < 0 && errno != EINTR)
            _exit(0);
        const long long left = deadline - nowMilliseconds();
        if (left <= 0)
            _exit(0); // still running: it is init's now, and we have nothing to say
        // SIGCHLD is blocked, so one sent before this call waits here as pending.
        const timespec wait{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000};
        ::sigtimedwait(&childEnded, nullptr, &wait);
    }
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
    FileDescriptor startRead, startWrite, endRead, endWrite;
    const bool watching = watchTime > std::chrono::milliseconds::zero();
    if (!devNull.valid() || !keepAboveStandardStreams(devNull) || !makePipe(startRead, startWrite) ||
        !keepAboveStandardStreams(startWrite) || (watching && !makePipe(endRead, endWrite)) ||
        (watching && !keepAboveStandardStreams(endWrite)))
        return cannotStart(errno);
    plan.devNull = devNull.get();
    plan.startReport = startWrite.get();
    plan.endReport = watching ? endWrite.get() : -1;

    // No signal handler of ours may run in the new process before it has reset them all.
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t child = ::fork();
    const int forkError = errno;
    if (child == 0)
        startAndWatch(plan);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (child < 0)
        return cannotStart(forkError);

    startWrite.close();
    endWrite.close();
    devNull.close();
    LaunchWatch watch(std::move(endRead), child);
    int status = 0;
    if (!watching) {
        // Without a watch the process in between exits at once; reaping it leaves no zombie.
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        watch = LaunchWatch();
    }

    // The start pipe closes when the program runs (close-on-exec) or its process exits: end of
    // file means it started, a record says why not.
    Failure failure{};
    const std::size_t got = readUpTo(startRead.get(), &failure, sizeof failure);

    if (got == 0 && (watching || (WIFEXITED(status) && WEXITSTATUS(status) == 0))) {
        result.started = true;
        result.watch = std::move(watch);
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
