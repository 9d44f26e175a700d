// A start that fails with a 3 MB command line, as the window meets it (the line built and quoted,
// the notice laid out over the ROM list), against reading the same bytes into a QString once:
// what is left besides that one pass must stay small, or the window freezes while it is built.

#include "BenchSupport.h"

#include "gui/launch/EmulatorStarter.h"
#include "gui/launch/LaunchNotice.h"

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace marlit::bench;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 11;

    QListWidget list;
    list.resize(640, 400);
    list.show();
    QApplication::processEvents();
    EmulatorStarter starter(&list);

    const std::string rom = "/roms/" + std::string(3 << 20, 'x') + ".nes";
    const marlit::LaunchRequest huge{"/nonexistent/emulator", {"-fs", rom}, ""};
    const marlit::LaunchRequest usual{"/nonexistent/emulator", {"-fs", "/roms/Zelda (U) [!].nes"}, ""};
    QString sink;
    const std::vector<Timing> timings = measureInterleaved(
        runs, {[&] { sink = QString::fromLocal8Bit(rom); }, [&] { starter.start(huge); }, [&] { starter.start(usual); }});
    if (!starter.notice()->isVisible()) {
        std::fprintf(stderr, "the notice was not shown\n");
        return 1;
    }

    report("3 MB read into a QString once (baseline)", timings[0], timings[0]);
    report("failed start, 3 MB command line, notice shown", timings[1], timings[0]);
    report("failed start, usual command line, notice shown", timings[2], timings[0]);
    verdict("failed start with a 3 MB command line", timings[1], timings[0], 10.0);
    return 0;
}
