#include "gui/pad/PadControl.h"

#include "core/fs/FileDescriptor.h"
#include "core/pad/PadSettings.h"
#include "core/pad/VirtualPadFifo.h"
#include "gui/pad/PadNavigator.h"
#include "gui/pad/SdlGamepads.h"

#include <unistd.h>

namespace {

void tellStandardError(const std::string &text)
{
    const std::string line = "marlit: " + text + '\n';
    (void)marlit::writeFully(STDERR_FILENO, line.data(), line.size());
}

} // namespace

PadControl::PadControl(QWidget &window, EmulatorStarter &starter, const std::string &workFolder,
                       const std::string &virtualPadFifo, QObject *parent)
    : QObject(parent)
{
    const marlit::PadSettings settings = marlit::PadSettings::load(workFolder + marlit::PadSettings::kFileName);
    for (const std::string &problem : settings.problems)
        tellStandardError(std::string(marlit::PadSettings::kFileName) + ", " + problem);
    m_gamepads = new SdlGamepads(workFolder, this);
    m_navigator = new PadNavigator(window, starter, settings.endGame, this);
    connect(m_gamepads, &SdlGamepads::buttonChanged, m_navigator, &PadNavigator::buttonChanged);
    connect(m_gamepads, &SdlGamepads::axisMoved, m_navigator, &PadNavigator::axisMoved);
    connect(m_gamepads, &SdlGamepads::controllerRemoved, m_navigator, &PadNavigator::controllerRemoved);
    if (virtualPadFifo.empty())
        return;
    m_gamepads->attachVirtual();
    SdlGamepads *gamepads = m_gamepads;
    m_fifo = std::make_unique<marlit::VirtualPadFifo>(
        virtualPadFifo, [gamepads](const marlit::VirtualPadLine &line) { gamepads->perform(line); },
        [](const std::string &problem) { tellStandardError("virtual controller: " + problem); });
}

PadControl::~PadControl() = default;
