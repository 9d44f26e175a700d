#include "core/launch/ProcessLauncher.h"

#include "core/fs/WorkingDirectory.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace marlit {

namespace {

// What the grandchild reports through the pipe when it cannot run the program.
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
            return true;
        }
        const std::optional<std::string> current = currentDirectory();
        if (!current) {
            error = errno;
            return false;
        }
        resolved = *current + '/' + program;
        return true;
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

void reportAndExit(int pipeFd, Stage stage, int error)
{
    const Failure failure{stage, error};
    // A short write cannot happen for so few bytes on a pipe; nothing more could be done anyway.
    [[maybe_unused]] const ssize_t written = write(pipeFd, &failure, sizeof failure);
    _exit(127);
}

} // namespace

ProcessLauncher::Result ProcessLauncher::startDetached(const LaunchRequest &request)
{
    Result result;
    std::string program;
    int error = 0;
    if (!resolveProgram(request.program, program, error)) {
        result.error = describe("cannot start " + request.program, error);
        return result;
    }

    // Everything the child needs is prepared now: after fork only async-signal-safe calls are made.
    std::vector<char *> argv;
    argv.reserve(request.arguments.size() + 2);
    argv.push_back(program.data());
    std::vector<std::string> arguments = request.arguments;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const char *workingDirectory = request.workingDirectory.empty() ? nullptr : request.workingDirectory.c_str();

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = describe("cannot start " + request.program, errno);
        return result;
    }

    const pid_t child = fork();
    if (child < 0) {
        const int forkError = errno;
        close(pipeFds[0]);
        close(pipeFds[1]);
        result.error = describe("cannot start " + request.program, forkError);
        return result;
    }

    if (child == 0) {
        close(pipeFds[0]);
        // A session of its own, so the emulator outlives us and gets no signal meant for our terminal.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild < 0)
            reportAndExit(pipeFds[1], Stage::Fork, errno);
        if (grandchild > 0)
            _exit(0); // the grandchild is handed to init, which reaps it

        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction defaultAction
        {
        };
        defaultAction.sa_handler = SIG_DFL;
        sigemptyset(&defaultAction.sa_mask);
        for (int signal = 1; signal < NSIG; ++signal)
            sigaction(signal, &defaultAction, nullptr); // fails harmlessly for KILL, STOP and the like

        if (workingDirectory && chdir(workingDirectory) != 0)
            reportAndExit(pipeFds[1], Stage::ChangeDirectory, errno);
        execv(argv[0], argv.data());
        reportAndExit(pipeFds[1], Stage::Exec, errno);
    }

    close(pipeFds[1]);
    // The intermediate child exits at once; reaping it leaves no zombie.
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    // The write end closes when the grandchild executes the program (close-on-exec) or exits: end of
    // file means it started, a record says why not.
    Failure failure{};
    std::size_t got = 0;
    auto *bytes = reinterpret_cast<char *>(&failure);
    while (got < sizeof failure) {
        const ssize_t n = read(pipeFds[0], bytes + got, sizeof failure - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    close(pipeFds[0]);

    const bool childForked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (got == 0 && childForked) {
        result.started = true;
        return result;
    }
    if (got < sizeof failure) {
        result.error = "cannot start " + request.program + ": the new process ended before it ran the program";
        return result;
    }
    if (failure.stage == Stage::ChangeDirectory)
        result.error = describe("cannot change to " + request.workingDirectory, failure.error);
    else
        result.error = describe("cannot start " + request.program, failure.error);
    return result;
}

} // namespace marlit
