#pragma once

#include "core/pad/PadButton.h"
#include "core/pad/PadInterpreter.h"
#include "core/pad/VirtualPadLine.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The game controllers, through SDL's game-controller API on a thread of its own: the window
// never waits for SDL, and with no controller and no /dev/input everything runs the same. SDL
// starts with its signal handlers off and only its joystick and game-controller parts. Any
// controller SDL knows works as it is; the workspace's "gamecontrollerdb.txt" (SDL's mapping
// format) adds mappings when present. Controllers may come and go at any time.
//
// With no controller the thread looks for new ones four times a second; with one it reads it
// every 8 ms while it is in use, as often as a pad reports over USB, and once a frame (16 ms)
// after two seconds at rest, and sleeps in between.
//
// A virtual controller (SDL's virtual joystick) can be attached and given lines to perform, in
// order: each presses its buttons together, holds them and lets go. Automation uses it.
class SdlGamepads : public QObject
{
    Q_OBJECT

public:
    // workFolder: "" or ending with the separator.
    explicit SdlGamepads(const std::string &workFolder, QObject *parent = nullptr);
    // Stops the thread: it is between two reads, so this never waits long. A thread still in
    // SDL's start after kStartWait (it can wait for good on a session bus that does not answer)
    // is left to end by itself, touching nothing of this object.
    ~SdlGamepads() override;
    static constexpr std::chrono::milliseconds kStartWait{2000};

    // Plugs the virtual controller in or pulls it out at once, whatever line it is performing.
    void attachVirtual();
    void detachVirtual();
    // Queued for the thread; the line waits for the one before it to be let go.
    void perform(const marlit::VirtualPadLine &line);

signals:
    void buttonChanged(marlit::PadButton button, bool pressed);
    void axisMoved(marlit::PadInterpreter::Axis axis, int value);
    void controllerAdded(const QString &name);
    // Whatever it held is let go.
    void controllerRemoved();
    // The thread has performed every line given so far (for the tests and the benchmark).
    void linesPerformed();

private:
    struct Sdl; // what only the thread touches

    // Whether SDL's start is over, or the object gone while it was under way; shared with the
    // thread, which may outlive the object.
    struct Start
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool over = false;
        bool abandoned = false;
    };
    void run(const std::shared_ptr<Start> &start);
    void plug(bool attach);
    void setButtons(Sdl &sdl, const marlit::ButtonChord &chord, bool pressed);
    // Performs what is due; gives how long the thread may sleep before it has to come back.
    std::chrono::milliseconds step(Sdl &sdl);
    void readEvents(Sdl &sdl);

    const std::string m_mappingFile;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<marlit::VirtualPadLine> m_lines; // guarded by m_mutex
    std::deque<bool> m_plugs;                   // attach (true) or detach; guarded by m_mutex
    bool m_stopping = false;                    // guarded by m_mutex
    std::shared_ptr<Start> m_start = std::make_shared<Start>();
    std::thread m_thread;
};
