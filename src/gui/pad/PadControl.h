#pragma once

#include <QObject>

#include <memory>
#include <string>

class EmulatorStarter;
class PadNavigator;
class SdlGamepads;
class QWidget;
namespace marlit {
class VirtualPadFifo;
}

// The game controllers of one window, put together: SDL's controllers, the navigator that turns
// their buttons into the window's keys, the workspace's "marlit-pad.txt" and, when
// virtualPadFifo names one, the FIFO whose lines a virtual controller performs.
class PadControl : public QObject
{
    Q_OBJECT

public:
    // workFolder: "" or ending with the separator. A bad line of the settings file, or a FIFO
    // that cannot be read, is said on standard error and changes nothing else.
    PadControl(QWidget &window, EmulatorStarter &starter, const std::string &workFolder,
               const std::string &virtualPadFifo = {}, QObject *parent = nullptr);
    ~PadControl() override;

    SdlGamepads &gamepads() const { return *m_gamepads; }
    PadNavigator &navigator() const { return *m_navigator; }

private:
    SdlGamepads *m_gamepads;
    PadNavigator *m_navigator;
    std::unique_ptr<marlit::VirtualPadFifo> m_fifo; // stopped before the controllers
};
