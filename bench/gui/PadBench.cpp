// The game controller in the real window. A press of the virtual controller's D-pad down, from
// the press on SDL's thread to the ROM list's selection moved and painted, against the same move
// by a Down key posted from another thread (as the X server's keys arrive), run after run
// interleaved. Then the whole process's CPU time over a minute idle with the controller attached,
// against a minute idle with the controllers' support not started.
// Usage: PadBench [runs] [idle seconds]

#include "BenchSupport.h"

#include "core/pad/VirtualPadLine.h"
#include "gui/browse/RomFolderReader.h"
#include "gui/pad/PadControl.h"
#include "gui/pad/SdlGamepads.h"
#include "gui/ui/MainFrame.h"
#include "gui/ui/RomListBox.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sys/resource.h>
#include <thread>

using namespace marlit::bench;

namespace {

// Posts a Down key to the list from a thread of its own when asked to.
class KeySender
{
public:
    explicit KeySender(QWidget *receiver) : m_receiver(receiver), m_thread([this] { run(); }) {}
    ~KeySender()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void send()
    {
        {
            const std::lock_guard lock(m_mutex);
            ++m_requests;
        }
        m_wake.notify_all();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (true) {
            m_wake.wait(lock, [&] { return m_stopping || m_requests > 0; });
            if (m_stopping)
                return;
            --m_requests;
            QCoreApplication::postEvent(m_receiver, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, {}));
            QCoreApplication::postEvent(m_receiver, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, {}));
        }
    }

    QWidget *m_receiver;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_requests = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process's CPU use, in per cent of one core, while the event loop idles for seconds.
double idleCpuPercent(int seconds)
{
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    // A loop of its own: quitting the application's would close its windows.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (cpuSeconds() - cpuBefore) / (elapsedMs(start) / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 101;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;

    QTemporaryDir workspace;
    QDir(workspace.path()).mkdir(QStringLiteral("roms"));
    for (int index = 0; index < 2000; ++index)
        std::ofstream(
            workspace.filePath(QStringLiteral("roms/Game %1.nes").arg(index, 4, 10, QChar('0'))).toStdString());
    std::ofstream(workspace.filePath("classic.ini").toStdString(), std::ios::binary)
        << "NAME = NES\r\nDESC = \r\nROMDIR = " << workspace.filePath("roms").toStdString()
        << "/\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\nSNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";

    const std::string work = workspace.path().toStdString() + "/";
    auto frame = std::make_unique<MainFrame>(work);
    frame->show();
    frame->activateWindow();
    frame->romFolderReader().waitForIdle();
    QApplication::processEvents();
    auto *roms = frame->findChild<RomListBox *>(QStringLiteral("romList"));
    roms->setFocus();

    // Without the controllers' support: the window alone, idle.
    std::printf("idling %d s without controller support...\n", idleSeconds);
    std::fflush(stdout);
    const double idleWithout = idleCpuPercent(idleSeconds);

    auto pads = std::make_unique<PadControl>(*frame, frame->emulatorStarter(), work);
    bool attached = false;
    QObject::connect(&pads->gamepads(), &SdlGamepads::controllerAdded, [&] { attached = true; });
    pads->gamepads().attachVirtual();
    while (!attached)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::setActiveWindow(frame.get());
    QApplication::processEvents();

    // One move: from the request to the selection moved and the list painted.
    const auto moveBy = [&](const std::function<void()> &request) {
        if (roms->currentRow() >= roms->count() - 2) {
            roms->setCurrentIndex(roms->model()->index(0, 0));
            QApplication::processEvents();
        }
        const int before = roms->currentRow();
        const auto start = std::chrono::steady_clock::now();
        request();
        while (roms->currentRow() == before) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (elapsedMs(start) > 5000) {
                std::fprintf(stderr, "no move within 5 s (row %d of %d, active window %p, focus %p)\n", before,
                             roms->count(), static_cast<void *>(QApplication::activeWindow()),
                             static_cast<void *>(QApplication::focusWidget()));
                std::exit(1);
            }
        }
        roms->viewport()->repaint();
    };
    // The first key event makes the toolkit's default keyboard device, a child of the
    // application: made here, on its thread, not by the sender's first event.
    {
        const QKeyEvent first(QEvent::KeyPress, Qt::Key_Down, {});
    }
    KeySender keys(roms);
    const marlit::VirtualPadLine press = *marlit::VirtualPadLine::parse("dpdown 0");
    const std::vector<Timing> moves = measureInterleaved(
        runs, {[&] { moveBy([&] { keys.send(); }); }, [&] { moveBy([&] { pads->gamepads().perform(press); }); }});

    std::printf("idling %d s with a controller attached...\n", idleSeconds);
    std::fflush(stdout);
    const double idleWith = idleCpuPercent(idleSeconds);

    report("Down key posted from another thread to the row moved and painted (baseline)", moves[0], moves[0]);
    report("D-pad down pressed on the virtual controller to the row moved and painted", moves[1], moves[0]);
    verdict("pad move against key move", moves[1], moves[0], 1.1);
    std::printf("one frame at 60 Hz is 16.7 ms: the pad's move takes %.3f ms (95th percentile %.3f ms) %s\n",
                moves[1].medianMs, moves[1].p95Ms, moves[1].p95Ms < 16.7 ? "PASS" : "FAIL");
    std::printf("idle CPU over %d s: %.3f %% without controller support (baseline), %.3f %% with a controller "
                "attached (target < 1 %%) %s\n",
                idleSeconds, idleWithout, idleWith, idleWith < 1.0 ? "PASS" : "FAIL");
    pads.reset();
    frame->writeSettings();
    return 0;
}
