#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace marlit::test {

// The misbehaving file system of misbehaving_fs.py (a folder whose listing never answers, a slow
// one, one that changes without telling, a broken one) mounted with FUSE at mountPoint, an
// empty folder. Needs root. Whatever happens, the end aborts the connection first (a request
// left unanswered would otherwise hold whoever made it in the kernel for good), then unmounts
// and ends the daemon.
class FuseMount
{
public:
    explicit FuseMount(std::string mountPoint, const std::vector<std::string> &options = {});
    ~FuseMount();
    FuseMount(const FuseMount &) = delete;
    FuseMount &operator=(const FuseMount &) = delete;

    bool mounted() const { return m_connection >= 0 && m_failure.empty(); }
    // Why it is not mounted.
    const std::string &failure() const { return m_failure; }
    // The mount point, ending with the separator.
    std::string path() const { return m_mountPoint + '/'; }

    // Ends every request under way with an error, as a share that went away for good does.
    void abort();

private:
    std::string m_mountPoint;
    std::string m_failure;
    pid_t m_daemon = -1;
    long m_connection = -1; // the minor device number, which names it under /sys/fs/fuse/connections
};

} // namespace marlit::test
