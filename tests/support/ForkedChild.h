#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>

namespace marlit::test {

// A forked child that runs body and hands back the text it returns. What the child changes in
// its own process (limits, signals, user) stays there. Fork only while the test process has one
// thread, as gtest's has.
class ForkedChild
{
public:
    explicit ForkedChild(const std::function<std::string()> &body);
    ~ForkedChild(); // waits for the child if result() was not asked for
    ForkedChild(const ForkedChild &) = delete;
    ForkedChild &operator=(const ForkedChild &) = delete;

    // Waits for the child: the text body returned, or nothing when the child did not get to
    // return it (a crash, a signal).
    std::optional<std::string> result();

private:
    pid_t m_pid = -1;
    int m_output = -1;
};

// Runs body in a forked child and waits for its text.
std::optional<std::string> runInChild(const std::function<std::string()> &body);

// The same in a child that runs as an unprivileged user, so that permissions apply even when the
// tests run as root: as root the child gives everything below folder to the user "nobody"
// (65534) and becomes that user; as anybody else it just runs.
std::optional<std::string> runAsUnprivilegedUser(const std::string &folder, const std::function<std::string()> &body);

} // namespace marlit::test
