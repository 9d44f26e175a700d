// The window on a catalogue whose system name and description are one line of 50 MB each,
// against the same window on a catalogue of ordinary values: the start (catalogue read, window
// built, shown and painted once), a repaint of the system list and the peak memory of a start.
// The baseline of the start is a plain read of the same file's bytes.

#include "BenchSupport.h"

#include "gui/ui/MainFrame.h"
#include "gui/ui/SystemListBox.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

using namespace marlit::bench;

namespace {

constexpr std::size_t kValueBytes = 50'000'000;

std::string record(const std::string &name, const std::string &description)
{
    return "NAME = " + name + "\r\nDESC = " + description +
           "\r\nROMDIR = /nonexistent/\r\nEMU = /bin/true\r\nCOMMAND LINE = \r\nICON = \r\nSNAPADIR = \r\n"
           "SNAPBDIR = \r\nSNAPSHOT = \r\n\r\n";
}

void writeFile(const QString &path, const std::string &bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

// The baseline: the file's bytes read in one go.
std::string readFile(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// Builds, shows and paints the window once; the window is closed and gone at the end.
void startWindow(const QString &workspace)
{
    MainFrame frame(workspace.toStdString());
    frame.show();
    frame.repaint();
    QApplication::processEvents();
    frame.close();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;

    QTemporaryDir plain, hostile;
    writeFile(plain.filePath("classic.ini"),
              record("Super Nintendo Entertainment System", "The 16-bit console of 1990") +
                  record("Game Boy", "A handheld"));
    writeFile(hostile.filePath("classic.ini"),
              record(std::string(kValueBytes, 'N'), std::string(kValueBytes, 'd')) + record("Game Boy", "A handheld"));
    std::printf("catalogue values of %zu MB each, one line\n", kValueBytes / 1'000'000);

    const std::vector<Timing> starts =
        measureInterleaved(runs, {[&] { startWindow(plain.path()); }, [&] { startWindow(hostile.path()); },
                                  [&] { (void)readFile(hostile.filePath("classic.ini")); }});
    report("plain read of the 100 MB file", starts[2], starts[2]);
    report("start, ordinary catalogue", starts[0], starts[2]);
    report("start, 50 MB values (against the plain read)", starts[1], starts[2]);
    verdict("a start costs a few reads of the file", starts[1], starts[2], 10.0);

    MainFrame plainFrame(plain.path().toStdString()), hostileFrame(hostile.path().toStdString());
    plainFrame.show();
    hostileFrame.show();
    QApplication::processEvents();
    auto *plainList = plainFrame.findChild<SystemListBox *>(QStringLiteral("systemList"));
    auto *hostileList = hostileFrame.findChild<SystemListBox *>(QStringLiteral("systemList"));
    const std::vector<Timing> repaints = measureInterleaved(
        runs * 5, {[&] { plainList->viewport()->repaint(); }, [&] { hostileList->viewport()->repaint(); }});
    report("system list repaint, 50 MB values", repaints[1], repaints[0]);
    verdict("a repaint costs what it costs for ordinary values", repaints[1], repaints[0], 2.0);

    // The peak of a start beyond what is resident before it, against the file's own size.
    resetPeakResident();
    const long long before = residentKilobytes();
    startWindow(hostile.path());
    const long long peak = peakResidentKilobytes() - before;
    const long long fileKilobytes = static_cast<long long>(2 * kValueBytes / 1024);
    std::printf("peak memory of a start on 50 MB values: %lld MB, %.1f times the catalogue's size\n", peak / 1024,
                static_cast<double>(peak) / static_cast<double>(fileKilobytes));
    return 0;
}
