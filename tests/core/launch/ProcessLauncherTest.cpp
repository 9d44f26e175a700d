#include "core/launch/ProcessLauncher.h"

#include "TempDir.h"
#include "core/catalogue/SystemEntry.h"
#include "core/launch/CommandLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using marlit::CommandLine;
using marlit::LaunchRequest;
using marlit::ProcessLauncher;
using marlit::SystemEntry;
using marlit::test::TempDir;
using Words = std::vector<std::string>;

namespace {

// What the stand-in emulator saw: its working directory and its arguments.
struct Record
{
    bool written = false;
    std::string directory;
    Words arguments;
};

// A stand-in emulator: a shell script that writes its working directory and its arguments, each
// ended by a NUL so that any byte but NUL survives, then renames the record into place.
void writeEmulator(const std::string &path, const std::string &record)
{
    std::ofstream script(path, std::ios::binary | std::ios::trunc);
    script << "#!/bin/sh\n"
           << "{ pwd -P; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > '" << record << ".part' && mv '" << record
           << ".part' '" << record << "'\n";
    script.close();
    chmod(path.c_str(), 0755);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool exists(const std::string &path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0;
}

// Waits up to ten seconds for the record: the program runs on its own, we do not wait for it.
Record waitForRecord(const std::string &path)
{
    Record record;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return record;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string bytes = readFile(path);
    const std::size_t lineEnd = bytes.find('\n');
    if (lineEnd == std::string::npos)
        return record;
    record.written = true;
    record.directory = bytes.substr(0, lineEnd);
    std::size_t start = lineEnd + 1;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos)
            break;
        record.arguments.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return record;
}

std::string realPath(const std::string &path)
{
    return std::filesystem::canonical(path).string();
}

std::string currentDirectory()
{
    return std::filesystem::current_path().string();
}

// Processes whose parent is this process, from /proc; with zombiesOnly, only those not yet reaped.
int countChildren(bool zombiesOnly)
{
    int count = 0;
    const std::unique_ptr<DIR, int (*)(DIR *)> proc(opendir("/proc"), closedir);
    if (!proc)
        return -1;
    while (const dirent *entry = readdir(proc.get())) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        const std::string stat = readFile(std::string("/proc/") + entry->d_name + "/stat");
        const std::size_t nameEnd = stat.rfind(')');
        if (nameEnd == std::string::npos)
            continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(stat.c_str() + nameEnd + 1, " %c %ld", &state, &parent) != 2)
            continue;
        if (parent == getpid() && (!zombiesOnly || state == 'Z'))
            ++count;
    }
    return count;
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const std::string &value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old, m_hadOld = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (m_hadOld)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char *m_name;
    std::string m_old;
    bool m_hadOld = false;
};

class ScopedCurrentDirectory
{
public:
    explicit ScopedCurrentDirectory(const std::string &path) : m_old(currentDirectory())
    {
        std::filesystem::current_path(path);
    }
    ~ScopedCurrentDirectory() { std::filesystem::current_path(m_old); }

private:
    std::string m_old;
};

} // namespace

TEST(ProcessLauncher, PassesEveryArgumentWholeAndRunsNothing)
{
    TempDir temp;
    temp.makeFolder("My Emu");
    writeEmulator(temp.file("My Emu/fake emu.sh"), temp.file("record"));

    SystemEntry entry;
    entry.emulatorDirectory = temp.file("My Emu");
    entry.emulatorFile = "/fake emu.sh";
    entry.commandLine = "-fs \"a b\" 'c \"d\"'";
    const std::string romName = "Zelda (U) [!] 'x' \"y\" $(touch pwned) `touch pwned` ; touch pwned\nline2.nes";
    const LaunchRequest request = CommandLine::request(entry, temp.file("roms/"), romName);

    const ProcessLauncher::Result result = ProcessLauncher::startDetached(request);
    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(result.error, "");

    const Record record = waitForRecord(temp.file("record"));
    ASSERT_TRUE(record.written);
    EXPECT_EQ(record.arguments, (Words{"-fs", "a b", "c \"d\"", temp.file("roms/") + romName}));
    EXPECT_EQ(record.directory, realPath(temp.file("My Emu")));
    EXPECT_FALSE(temp.exists("My Emu/pwned"));
    EXPECT_FALSE(temp.exists("pwned"));
    EXPECT_FALSE(exists("pwned"));
}

TEST(ProcessLauncher, EmulatorAloneGetsNoArgument)
{
    TempDir temp;
    writeEmulator(temp.file("emu.sh"), temp.file("record"));
    SystemEntry entry;
    entry.emulatorDirectory = temp.path().substr(0, temp.path().size() - 1);
    entry.emulatorFile = "/emu.sh";
    entry.commandLine = "-fs";

    ASSERT_TRUE(ProcessLauncher::startDetached(CommandLine::emulatorOnlyRequest(entry)).started);
    const Record record = waitForRecord(temp.file("record"));
    ASSERT_TRUE(record.written);
    EXPECT_EQ(record.arguments, Words{});
    EXPECT_EQ(record.directory, realPath(temp.path()));
}

TEST(ProcessLauncher, EmptyWorkingDirectoryKeepsTheCurrentOne)
{
    TempDir temp;
    writeEmulator(temp.file("emu.sh"), temp.file("record"));
    ASSERT_TRUE(ProcessLauncher::startDetached({temp.file("emu.sh"), {"x"}, ""}).started);
    const Record record = waitForRecord(temp.file("record"));
    ASSERT_TRUE(record.written);
    EXPECT_EQ(record.directory, realPath(currentDirectory()));
    EXPECT_EQ(record.arguments, Words{"x"});
}

TEST(ProcessLauncher, RelativeProgramPathIsTakenFromTheCallersDirectoryNotTheNewOne)
{
    TempDir temp;
    temp.makeFolder("bin");
    temp.makeFolder("elsewhere");
    writeEmulator(temp.file("bin/emu.sh"), temp.file("record"));
    const ScopedCurrentDirectory inTemp(temp.path());

    const ProcessLauncher::Result result = ProcessLauncher::startDetached({"bin/emu.sh", {}, temp.file("elsewhere")});
    ASSERT_TRUE(result.started) << result.error;
    const Record record = waitForRecord(temp.file("record"));
    ASSERT_TRUE(record.written);
    EXPECT_EQ(record.directory, realPath(temp.file("elsewhere")));
}

TEST(ProcessLauncher, BareNameIsLookedUpOnPathSkippingWhatCannotRun)
{
    TempDir temp;
    temp.makeFolder("first");
    temp.makeFolder("second");
    temp.makeFolder("third/fake-emu");                                // a folder of that name is not a program
    temp.write("first/fake-emu", "#!/bin/sh\necho not executable\n"); // no execute permission
    writeEmulator(temp.file("second/fake-emu"), temp.file("record"));
    const ScopedEnvironment path("PATH", temp.file("third") + ":" + temp.file("first") +
                                             ":/nonexistent:" + temp.file("second") + ":/usr/bin:/bin");

    const ProcessLauncher::Result result = ProcessLauncher::startDetached({"fake-emu", {"--go"}, temp.path()});
    ASSERT_TRUE(result.started) << result.error;
    const Record record = waitForRecord(temp.file("record"));
    ASSERT_TRUE(record.written);
    EXPECT_EQ(record.arguments, Words{"--go"});
}

TEST(ProcessLauncher, FailuresAreReportedWithTheirCause)
{
    TempDir temp;
    temp.write("plain.txt", "not a program");
    temp.makeFolder("a folder");
    writeEmulator(temp.file("emu.sh"), temp.file("record"));
    const ScopedEnvironment path("PATH", temp.path());

    struct Case
    {
        LaunchRequest request;
        std::string error;
    };
    const Case cases[] = {
        {{temp.file("missing.sh"), {}, ""}, "cannot start " + temp.file("missing.sh") + ": No such file or directory"},
        {{"no-such-emulator", {}, ""}, "cannot start no-such-emulator: No such file or directory"},
        {{"plain.txt", {}, ""}, "cannot start plain.txt: Permission denied"},
        {{temp.file("plain.txt"), {}, ""}, "cannot start " + temp.file("plain.txt") + ": Permission denied"},
        // A folder chosen as the emulator is said as one, not as a missing permission.
        {{temp.file("a folder"), {}, ""}, "cannot start " + temp.file("a folder") + ": Is a directory"},
        {{"", {}, ""}, "cannot start : No such file or directory"},
        {{temp.file("emu.sh"), {}, temp.file("gone")},
         "cannot change to " + temp.file("gone") + ": No such file or directory"},
        // An emulator path into a folder that is not there: the program is named, not the folder.
        {{temp.file("gone/emu"), {}, temp.file("gone")},
         "cannot start " + temp.file("gone/emu") + ": No such file or directory"},
        {{temp.file("emu.sh"), {}, temp.file("plain.txt")},
         "cannot change to " + temp.file("plain.txt") + ": Not a directory"},
    };
    // Watched or not, a start that fails says so at once and keeps nothing.
    for (const std::chrono::milliseconds watchTime : {std::chrono::milliseconds(0), std::chrono::milliseconds(20000)}) {
        for (const Case &c : cases) {
            const ProcessLauncher::Result result = ProcessLauncher::startDetached(c.request, watchTime);
            EXPECT_FALSE(result.started) << c.request.program;
            EXPECT_FALSE(result.watch.active());
            EXPECT_EQ(result.error, c.error);
            EXPECT_EQ(result.error.substr(result.error.size() - result.reason.size()), result.reason);
        }
    }
    EXPECT_FALSE(temp.exists("record")); // the failed changes of directory ran nothing
    EXPECT_EQ(countChildren(false), 0);
}

TEST(ProcessLauncher, LeavesNoZombieAndNoChild)
{
    TempDir temp;
    temp.makeFolder("pids");
    // Each run notes its process id and stays alive, so that its parent can be checked.
    temp.write("emu.sh",
               "#!/bin/sh\necho $$ > '" + temp.file("pids/") + "'$$\nexec sleep 30 </dev/null >/dev/null 2>&1\n");
    chmod(temp.file("emu.sh").c_str(), 0755);

    constexpr int kRuns = 3;
    for (int i = 0; i < kRuns; ++i)
        ASSERT_TRUE(ProcessLauncher::startDetached({temp.file("emu.sh"), {}, ""}).started);
    EXPECT_EQ(countChildren(true), 0);

    std::vector<pid_t> emulators;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (static_cast<int>(emulators.size()) < kRuns && std::chrono::steady_clock::now() < deadline) {
        emulators.clear();
        for (const auto &entry : std::filesystem::directory_iterator(temp.file("pids")))
            if (!temp.read("pids/" + entry.path().filename().string()).empty())
                emulators.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(emulators.size(), static_cast<std::size_t>(kRuns));
    // They belong to someone else now and run in sessions of their own.
    EXPECT_EQ(countChildren(false), 0);
    for (const pid_t emulator : emulators) {
        EXPECT_NE(getsid(emulator), getsid(0));
        kill(emulator, SIGTERM);
    }
}

TEST(ProcessLauncher, ProgramStartsWithDefaultSignalHandling)
{
    TempDir temp;
    // The shell reads its own status with builtins only: while it waits for a command it runs,
    // it blocks every signal itself, which would be read as the mask it was started with.
    temp.write("emu.sh", "#!/bin/sh\nwhile IFS= read -r line; do case $line in SigBlk:*|SigIgn:*) printf '%s\\n' "
                         "\"$line\";; esac; done < /proc/$$/status > '" +
                             temp.file("part") + "'\nmv '" + temp.file("part") + "' '" + temp.file("record") + "'\n");
    chmod(temp.file("emu.sh").c_str(), 0755);

    // A program of ours may ignore or block signals; the emulator must not inherit that.
    sigset_t blocked, previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    struct sigaction ignore
    {
    }, previousAction{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGUSR1, &ignore, &previousAction);

    const ProcessLauncher::Result result = ProcessLauncher::startDetached({temp.file("emu.sh"), {}, ""});

    sigaction(SIGUSR1, &previousAction, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);

    ASSERT_TRUE(result.started) << result.error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!temp.exists("record") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::istringstream lines(temp.read("record"));
    std::string line;
    int seen = 0;
    while (std::getline(lines, line)) {
        const unsigned long long mask = std::stoull(line.substr(line.find(':') + 1), nullptr, 16);
        if (line.rfind("SigBlk", 0) == 0)
            EXPECT_EQ(mask, 0ull) << line;
        else
            EXPECT_EQ(mask & (1ull << (SIGUSR1 - 1)), 0ull) << line;
        ++seen;
    }
    EXPECT_EQ(seen, 2);
}

TEST(ProcessLauncher, ManyMayStartAtOnce)
{
    TempDir temp;
    writeEmulator(temp.file("emu.sh"), "record"); // each run writes into its own working directory
    constexpr int kRuns = 8;
    std::vector<std::thread> threads;
    std::vector<int> started(kRuns, 0);
    for (int i = 0; i < kRuns; ++i) {
        temp.makeFolder("run" + std::to_string(i));
        threads.emplace_back([&, i] {
            started[static_cast<std::size_t>(i)] =
                ProcessLauncher::startDetached(
                    {temp.file("emu.sh"), {std::to_string(i)}, temp.file("run" + std::to_string(i))})
                    .started;
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(started, std::vector<int>(kRuns, 1));
    for (int i = 0; i < kRuns; ++i) {
        const Record record = waitForRecord(temp.file("run" + std::to_string(i) + "/record"));
        EXPECT_EQ(record.arguments, Words{std::to_string(i)});
    }
    EXPECT_EQ(countChildren(true), 0);
}

TEST(ProcessLauncher, ProgramGetsOnlyTheStandardStreamsAndAFileWithoutShebangRunsThroughSh)
{
    TempDir temp;
    temp.makeFolder("My Emu");
    // No "#!" line: the system refuses the file with ENOEXEC, and a shell runs it. The shell lists
    // its own descriptors through find, which opens the list file itself: a redirection would
    // add descriptors to the shell.
    const std::string emulator = temp.file("My Emu/emu without shebang");
    temp.write("My Emu/emu without shebang", "find /proc/$$/fd/ -mindepth 1 -fprintf '" + temp.file("fds") +
                                                 "' '%f %l\\n'\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" +
                                                 temp.file("arguments") + "'\n");
    chmod(emulator.c_str(), 0755);

    // Whatever we hold without close-on-exec, as descriptors inherited from whoever started us.
    const int inherited = open("/dev/null", O_RDONLY);
    ASSERT_GE(inherited, 0);
    ASSERT_EQ(dup2(inherited, 251), 251);
    int leakedPipe[2];
    ASSERT_EQ(pipe(leakedPipe), 0);
    // Our standard input is not the program's.
    const int savedStdin = dup(STDIN_FILENO);
    ASSERT_EQ(dup2(leakedPipe[0], STDIN_FILENO), STDIN_FILENO);

    const std::string romPath = temp.file("roms/Zelda (U) 'x' \"y\" $HOME.nes");
    ProcessLauncher::Result result =
        ProcessLauncher::startDetached({emulator, {"-fs", romPath}, temp.file("My Emu")}, std::chrono::seconds(20));
    dup2(savedStdin, STDIN_FILENO);
    for (const int fd : {inherited, 251, leakedPipe[0], leakedPipe[1], savedStdin})
        close(fd);
    ASSERT_TRUE(result.started) << result.error;
    const std::optional<marlit::WatchReport> report = result.watch.finish();
    ASSERT_TRUE(report.has_value() && report->end.has_value());
    EXPECT_FALSE(report->end->failed()) << report->end->describe();

    // "0 /dev/null": descriptor and target, one a line.
    std::map<int, std::string> descriptors;
    std::istringstream lines(temp.read("fds"));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t blank = line.find(' ');
        descriptors[std::stoi(line.substr(0, blank))] = line.substr(blank + 1);
    }
    ASSERT_EQ(descriptors.count(0), 1u);
    EXPECT_EQ(descriptors[0], "/dev/null");
    // Watched, its standard output and error are the watch's pipes, passed on to ours.
    for (const int fd : {1, 2}) {
        EXPECT_EQ(descriptors[fd].rfind("pipe:", 0), 0u) << descriptors[fd];
        EXPECT_NE(descriptors[fd], std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).string());
    }
    for (const auto &[fd, target] : descriptors) {
        if (fd > 2) {
            EXPECT_EQ(target, realPath(emulator)) << "descriptor " << fd; // the shell's own, on its script
        }
    }

    const std::string arguments = temp.read("arguments");
    EXPECT_EQ(arguments, std::string("-fs") + '\0' + romPath + '\0');
}

TEST(ProcessLauncher, WatchSaysHowAProgramEndedEarlyAndKeepsNothingAfterward)
{
    TempDir temp;
    temp.write("exit3.sh", "#!/bin/sh\nexit 3\n");
    temp.write("crash.sh", "#!/bin/sh\nkill -SEGV $$\n");
    temp.write("fine.sh", "#!/bin/sh\nexit 0\n");
    for (const char *script : {"exit3.sh", "crash.sh", "fine.sh"})
        chmod(temp.file(script).c_str(), 0755);

    const auto endOf = [&](const char *script) -> std::optional<marlit::ProgramEnd> {
        ProcessLauncher::Result result =
            ProcessLauncher::startDetached({temp.file(script), {}, ""}, std::chrono::seconds(20));
        EXPECT_TRUE(result.started) << result.error;
        EXPECT_TRUE(result.watch.active());
        std::optional<marlit::WatchReport> report = result.watch.finish();
        EXPECT_TRUE(report.has_value());
        EXPECT_FALSE(report && report->program.valid());
        return report ? report->end : std::nullopt;
    };
    const std::optional<marlit::ProgramEnd> exit3 = endOf("exit3.sh");
    ASSERT_TRUE(exit3.has_value());
    EXPECT_TRUE(exit3->failed());
    EXPECT_EQ(exit3->describe(), "ended with status 3");
    const std::optional<marlit::ProgramEnd> crash = endOf("crash.sh");
    ASSERT_TRUE(crash.has_value());
    EXPECT_EQ(crash->describe(), "ended by signal SIGSEGV");
    const std::optional<marlit::ProgramEnd> fine = endOf("fine.sh");
    ASSERT_TRUE(fine.has_value());
    EXPECT_FALSE(fine->failed());
    EXPECT_EQ(countChildren(false), 0);
}

namespace {

// Our standard error goes to fd for the life of the object; what is started meanwhile keeps it.
class ScopedStandardError
{
public:
    explicit ScopedStandardError(int fd) : m_saved(dup(STDERR_FILENO)) { dup2(fd, STDERR_FILENO); }
    ~ScopedStandardError()
    {
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
    }

private:
    int m_saved;
};

// A pipe whose reader is already gone: a write to it fails with EPIPE (or raises SIGPIPE).
struct DeadPipe
{
    int ends[2] = {-1, -1};
    DeadPipe()
    {
        if (pipe2(ends, O_CLOEXEC) == 0)
            close(ends[0]);
    }
    ~DeadPipe() { close(ends[1]); }
};

// Waits up to ten seconds for a file to hold size bytes.
std::string waitForBytes(const TempDir &temp, const std::string &name, std::size_t size)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (temp.read(name).size() < size && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return temp.read(name);
}

} // namespace

TEST(ProcessLauncher, WatchKeepsTheLastLinesOfStandardErrorAndPassesEveryByteOn)
{
    TempDir temp;
    // 100 lines of 100 bytes: the last 4096 bytes begin within line 59, so lines 60 to 99 are the
    // whole lines among them.
    std::string written, lastLines;
    for (int line = 0; line < 100; ++line) {
        char number[8];
        std::snprintf(number, sizeof number, "%02d ", line);
        const std::string text = "line " + std::string(number) + std::string(91, 'a' + line % 26) + '\n';
        written += text;
        if (line >= 60)
            lastLines += text;
    }
    lastLines.pop_back();
    ASSERT_EQ(written.size(), 10000u);
    temp.write("error.txt", written);
    temp.write("emu.sh", "#!/bin/sh\ncat '" + temp.file("error.txt") + "' >&2\nexit 3\n");
    chmod(temp.file("emu.sh").c_str(), 0755);

    // Our standard error a file, then a pipe nobody reads: the report is the same.
    for (const bool readable : {true, false}) {
        const DeadPipe deadPipe;
        const int ours = readable ? open(temp.file("ours").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                                  : deadPipe.ends[1];
        ProcessLauncher::Result result;
        {
            const ScopedStandardError redirected(ours);
            result = ProcessLauncher::startDetached({temp.file("emu.sh"), {}, ""}, std::chrono::seconds(20));
        }
        if (readable)
            close(ours);
        ASSERT_TRUE(result.started) << result.error;
        const std::optional<marlit::WatchReport> report = result.watch.finish();
        ASSERT_TRUE(report.has_value() && report->end.has_value());
        EXPECT_EQ(report->end->describe(), "ended with status 3");
        EXPECT_EQ(report->errorTail, lastLines);
        if (readable) {
            EXPECT_EQ(waitForBytes(temp, "ours", written.size()), written);
        }
    }

    // Seen by a person: a tail that starts within a line, within a character, or ends without a line break.
    using marlit::ErrorTail;
    EXPECT_EQ(ErrorTail::lastLines("ine 1\nline 2\n\n", true), "line 2");
    EXPECT_EQ(ErrorTail::lastLines("first\nsecond", false), "first\nsecond");
    EXPECT_EQ(ErrorTail::lastLines("\xa9t\xc3\xa9 sans fin\n", true), "t\xc3\xa9 sans fin");
    EXPECT_EQ(ErrorTail::lastLines("", true), "");
}

TEST(ProcessLauncher, ProgramThatOutlivesTheWatchWritesOnToOurStandardErrorAndItsEndIsSeen)
{
    TempDir temp;
    // After the watch it writes more than a pipe holds, then leaves a mark: a SIGPIPE or a
    // write that blocks for good leaves none.
    temp.write("emu.sh",
               "#!/bin/sh\nset -e\necho $$ > pid.part && mv pid.part pid\nsleep 0.6\nhead -c 262144 /dev/zero "
               "| tr '\\0' x >&2\ntouch done\nsleep 0.3\n");
    chmod(temp.file("emu.sh").c_str(), 0755);
    const std::string bytes(262144, 'x');

    enum class Case { KeepWatching, DropTheWatch, OurErrorGone };
    for (const Case c : {Case::KeepWatching, Case::DropTheWatch, Case::OurErrorGone}) {
        SCOPED_TRACE(static_cast<int>(c));
        for (const char *name : {"pid", "done", "ours"})
            std::filesystem::remove(temp.file(name));
        const DeadPipe deadPipe;
        const int ours = c == Case::OurErrorGone
                             ? deadPipe.ends[1]
                             : open(temp.file("ours").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ProcessLauncher::Result result;
        {
            const ScopedStandardError redirected(ours);
            result =
                ProcessLauncher::startDetached({temp.file("emu.sh"), {}, temp.path()}, std::chrono::milliseconds(200));
        }
        if (c != Case::OurErrorGone)
            close(ours);
        ASSERT_TRUE(result.started) << result.error;
        EXPECT_EQ(countChildren(false), 0);

        marlit::FileDescriptor program;
        if (c == Case::DropTheWatch) {
            result.watch = marlit::LaunchWatch(); // as when Marlit closes within the watch
        } else {
            std::optional<marlit::WatchReport> report = result.watch.finish();
            ASSERT_TRUE(report.has_value());
            EXPECT_FALSE(report->end.has_value());
            ASSERT_TRUE(report->program.valid());
            EXPECT_EQ(fcntl(report->program.get(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
            program = std::move(report->program);
        }

        ASSERT_TRUE(waitForRecord(temp.file("pid")).written);
        const pid_t emulator = static_cast<pid_t>(std::stol(temp.read("pid")));
        // Nothing of ours among its descriptors (no socket, no pidfd): standard input, output,
        // the pipe, and the shell's own on its script.
        std::map<int, std::string> descriptors;
        for (const auto &entry : std::filesystem::directory_iterator("/proc/" + std::to_string(emulator) + "/fd"))
            descriptors[std::stoi(entry.path().filename().string())] = std::filesystem::read_symlink(entry).string();
        EXPECT_EQ(descriptors[0], "/dev/null");
        EXPECT_EQ(descriptors[2].rfind("pipe:", 0), 0u) << descriptors[2];
        for (const auto &[fd, target] : descriptors)
            if (fd > 2) {
                EXPECT_EQ(target, realPath(temp.file("emu.sh"))) << "descriptor " << fd;
            }

        if (c == Case::KeepWatching) {
            // The copying after the watch is left to a small program, not to a fork of ours,
            // which would keep an image of the window's memory as long as the emulator runs.
            // Looked at again until it is tee: between its fork and its exec it is still ours.
            std::string copier;
            for (int tries = 0; tries < 200 && copier != "/usr/bin/tee"; ++tries, usleep(10000))
                for (const auto &process : std::filesystem::directory_iterator("/proc")) {
                    std::error_code error;
                    if (std::filesystem::read_symlink(process.path() / "fd/0", error).string() == descriptors[2])
                        copier = std::filesystem::read_symlink(process.path() / "exe", error).string();
                }
            EXPECT_EQ(copier, "/usr/bin/tee");
        }
        if (program.valid()) {
            pollfd ended{program.get(), POLLIN, 0};
            EXPECT_EQ(poll(&ended, 1, 0), 0); // still running
            EXPECT_EQ(poll(&ended, 1, 10000), 1);
            EXPECT_TRUE(temp.exists("done"));
        }
        waitForRecord(temp.file("done"));
        EXPECT_TRUE(temp.exists("done"));
        if (c != Case::OurErrorGone) {
            EXPECT_EQ(waitForBytes(temp, "ours", bytes.size()), bytes);
        }
        EXPECT_EQ(countChildren(false), 0);
    }
}
