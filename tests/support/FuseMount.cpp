#include "FuseMount.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <thread>

#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marlit::test {

namespace {

constexpr const char *kConnections = "/sys/fs/fuse/connections";

bool deviceOf(const std::string &path, dev_t &device)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return false;
    device = status.st_dev;
    return true;
}

} // namespace

FuseMount::FuseMount(std::string mountPoint, const std::vector<std::string> &options)
    : m_mountPoint(std::move(mountPoint))
{
    while (m_mountPoint.size() > 1 && m_mountPoint.back() == '/')
        m_mountPoint.pop_back();
    if (geteuid() != 0) {
        m_failure = "mounting with FUSE needs root";
        return;
    }
    dev_t before = 0;
    if (!deviceOf(m_mountPoint, before)) {
        m_failure = "no folder " + m_mountPoint;
        return;
    }
    std::vector<std::string> words{"/usr/bin/python3", MARLIT_MISBEHAVING_FS, m_mountPoint};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    m_daemon = fork();
    if (m_daemon == 0) {
        // A test that dies takes its daemon along, and a daemon's death aborts its connection.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (m_daemon < 0) {
        m_failure = std::string("fork: ") + std::strerror(errno);
        return;
    }
    for (int tick = 0; tick < 200; ++tick) {
        dev_t now = 0;
        if (deviceOf(m_mountPoint, now) && now != before) {
            m_connection = static_cast<long>(minor(now));
            // The control file system names each connection; it is mounted where it is not yet.
            const std::string control = std::string(kConnections) + "/" + std::to_string(m_connection);
            if (access(control.c_str(), F_OK) != 0)
                mount("none", kConnections, "fusectl", 0, nullptr);
            if (access(control.c_str(), F_OK) != 0)
                m_failure = "no control folder " + control + " to abort the connection with";
            return;
        }
        int status = 0;
        if (waitpid(m_daemon, &status, WNOHANG) == m_daemon) {
            m_daemon = -1;
            m_failure = "the FUSE daemon ended before it mounted (exit status " + std::to_string(status) + ")";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_failure = "the FUSE daemon did not mount within 10 s";
}

void FuseMount::abort()
{
    if (m_connection < 0)
        return;
    std::ofstream(std::string(kConnections) + "/" + std::to_string(m_connection) + "/abort") << "1";
}

FuseMount::~FuseMount()
{
    abort();
    if (m_connection >= 0)
        umount2(m_mountPoint.c_str(), MNT_DETACH);
    if (m_daemon > 0) {
        // Its unanswered request keeps a thread of its own waiting: it is ended, not asked.
        kill(m_daemon, SIGKILL);
        while (waitpid(m_daemon, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

} // namespace marlit::test
