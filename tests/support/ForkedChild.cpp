#include "ForkedChild.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marlit::test {

namespace {

constexpr uid_t kNobody = 65534;

bool becomeNobody(const std::string &folder)
{
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (lchown(it->path().c_str(), kNobody, kNobody) != 0)
            return false;
    }
    // The folder must be reachable for that user (a TMPDIR below a private folder is not), or
    // every refusal the test expects would come from there.
    return !error && lchown(folder.c_str(), kNobody, kNobody) == 0 && setgroups(0, nullptr) == 0 &&
           setgid(kNobody) == 0 && setuid(kNobody) == 0 && geteuid() == kNobody &&
           access(folder.c_str(), R_OK | W_OK | X_OK) == 0;
}

} // namespace

ForkedChild::ForkedChild(const std::function<std::string()> &body)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    std::fflush(nullptr); // nothing buffered is written twice
    m_pid = fork();
    if (m_pid == 0) {
        close(fds[0]);
        const std::string text = body();
        const char *data = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            const ssize_t n = write(fds[1], data, left);
            if (n <= 0)
                _exit(2);
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        _exit(0); // no exit handler of the test process runs in the child
    }
    close(fds[1]);
    if (m_pid < 0)
        close(fds[0]);
    else
        m_output = fds[0];
}

ForkedChild::~ForkedChild()
{
    result();
}

std::optional<std::string> ForkedChild::result()
{
    if (m_pid <= 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(m_output, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(m_output);
    int status = 0;
    const bool reaped = waitpid(m_pid, &status, 0) == m_pid;
    m_pid = -1;
    if (!reaped || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

std::optional<std::string> runInChild(const std::function<std::string()> &body)
{
    return ForkedChild(body).result();
}

std::optional<std::string> runAsUnprivilegedUser(const std::string &folder, const std::function<std::string()> &body)
{
    return runInChild([&]() -> std::string {
        if (geteuid() == 0 && !becomeNobody(folder))
            return "cannot become an unprivileged user who can reach " + folder;
        return body();
    });
}

} // namespace marlit::test
