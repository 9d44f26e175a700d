#include "gui/pad/SdlGamepads.h"

#include "core/fs/FileDescriptor.h"
#include "core/pad/PadSettings.h"

#include <SDL.h>

#include <array>
#include <map>
#include <optional>
#include <unistd.h>

using marlit::PadButton;
using Axis = marlit::PadInterpreter::Axis;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kReadInterval{8};
// A pad left alone is read once a frame (60 Hz): its first press is still shown within the
// frame, and an idle controller costs half the wake-ups.
constexpr std::chrono::milliseconds kRestingReadInterval{16};
constexpr std::chrono::seconds kRestAfter{2};
constexpr std::chrono::milliseconds kLookInterval{250};

// SDL's buttons in the order of PadButton (the triggers are axes there).
constexpr std::array<SDL_GameControllerButton, 13> kSdlButtons = {
    SDL_CONTROLLER_BUTTON_A,
    SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y,
    SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_GUIDE,
    SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
    SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
    SDL_CONTROLLER_BUTTON_DPAD_UP,
    SDL_CONTROLLER_BUTTON_DPAD_DOWN,
    SDL_CONTROLLER_BUTTON_DPAD_LEFT,
    SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
};

std::optional<PadButton> padButtonOf(Uint8 sdlButton)
{
    for (std::size_t index = 0; index < kSdlButtons.size(); ++index)
        if (kSdlButtons[index] == sdlButton)
            return static_cast<PadButton>(index);
    return std::nullopt;
}

std::optional<Axis> padAxisOf(Uint8 sdlAxis)
{
    switch (sdlAxis) {
    case SDL_CONTROLLER_AXIS_LEFTX:
        return Axis::LeftX;
    case SDL_CONTROLLER_AXIS_LEFTY:
        return Axis::LeftY;
    case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
        return Axis::LeftTrigger;
    case SDL_CONTROLLER_AXIS_TRIGGERRIGHT:
        return Axis::RightTrigger;
    default:
        return std::nullopt;
    }
}

void tellStandardError(const std::string &text)
{
    const std::string line = "marlit: " + text + '\n';
    (void)marlit::writeFully(STDERR_FILENO, line.data(), line.size());
}

} // namespace

struct SdlGamepads::Sdl
{
    bool started = false;
    std::map<SDL_JoystickID, SDL_GameController *> controllers;
    SDL_Joystick *virtualPad = nullptr;
    std::optional<marlit::VirtualPadLine> held; // the line being performed
    Clock::time_point releaseAt;
    bool unannounced = false;    // commands were taken since linesPerformed was last said
    Clock::time_point lastInput; // the last button or axis change of any controller
};

SdlGamepads::SdlGamepads(const std::string &workFolder, QObject *parent)
    : QObject(parent), m_mappingFile(workFolder + marlit::PadSettings::kMappingFileName)
{
    qRegisterMetaType<marlit::PadButton>();
    qRegisterMetaType<marlit::PadInterpreter::Axis>();
    m_thread = std::thread([this, start = m_start] { run(start); });
}

SdlGamepads::~SdlGamepads()
{
    {
        std::unique_lock lock(m_start->mutex);
        if (!m_start->changed.wait_for(lock, kStartWait, [this] { return m_start->over; })) {
            m_start->abandoned = true;
            m_thread.detach();
            return;
        }
    }
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SdlGamepads::attachVirtual()
{
    plug(true);
}

void SdlGamepads::detachVirtual()
{
    plug(false);
}

void SdlGamepads::plug(bool attach)
{
    {
        const std::lock_guard lock(m_mutex);
        m_plugs.push_back(attach);
    }
    m_wake.notify_all();
}

void SdlGamepads::perform(const marlit::VirtualPadLine &line)
{
    {
        const std::lock_guard lock(m_mutex);
        m_lines.push_back(line);
    }
    m_wake.notify_all();
}

void SdlGamepads::run(const std::shared_ptr<Start> &start)
{
    Sdl sdl;
    // Marlit keeps its own signal handling; SDL's video, audio and the rest stay off.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Without a session bus SDL's start can wait on the bus's launcher for good: until it is over
    // nothing of this object is touched, as the object may be gone meanwhile.
    sdl.started = SDL_Init(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK) == 0;
    {
        const std::lock_guard lock(start->mutex);
        if (start->abandoned) {
            // Only what this start took: another controller reader may have started since.
            if (sdl.started)
                SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK);
            return;
        }
        start->over = true;
    }
    start->changed.notify_all();
    if (!sdl.started) {
        tellStandardError(std::string("game controllers are not available: ") + SDL_GetError());
    } else if (::access(m_mappingFile.c_str(), F_OK) == 0 &&
               SDL_GameControllerAddMappingsFromFile(m_mappingFile.c_str()) < 0) {
        tellStandardError("the controller mappings in " + m_mappingFile + " could not be read: " + SDL_GetError());
    }
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        lock.unlock();
        const std::chrono::milliseconds sleep = sdl.started ? step(sdl) : 1h;
        lock.lock();
        m_wake.wait_for(lock, sleep, [&] { return m_stopping || !m_plugs.empty() || (!m_lines.empty() && !sdl.held); });
    }
    lock.unlock();
    if (!sdl.started)
        return;
    for (const auto &[id, controller] : sdl.controllers)
        SDL_GameControllerClose(controller);
    if (sdl.virtualPad)
        SDL_JoystickClose(sdl.virtualPad);
    SDL_Quit();
}

void SdlGamepads::setButtons(Sdl &sdl, const marlit::ButtonChord &chord, bool pressed)
{
    for (const PadButton button : chord.buttons) {
        if (button == PadButton::LeftTrigger || button == PadButton::RightTrigger)
            SDL_JoystickSetVirtualAxis(sdl.virtualPad,
                                       button == PadButton::LeftTrigger ? SDL_CONTROLLER_AXIS_TRIGGERLEFT
                                                                        : SDL_CONTROLLER_AXIS_TRIGGERRIGHT,
                                       pressed ? SDL_JOYSTICK_AXIS_MAX : SDL_JOYSTICK_AXIS_MIN);
        else
            SDL_JoystickSetVirtualButton(sdl.virtualPad, kSdlButtons[static_cast<std::size_t>(button)], pressed);
    }
}

std::chrono::milliseconds SdlGamepads::step(Sdl &sdl)
{
    std::deque<bool> plugs;
    {
        const std::lock_guard lock(m_mutex);
        plugs.swap(m_plugs);
    }
    for (const bool attach : plugs) {
        if (attach && !sdl.virtualPad) {
            SDL_VirtualJoystickDesc description{};
            description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
            description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
            description.naxes = SDL_CONTROLLER_AXIS_MAX;
            description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
            description.name = "Marlit Virtual Controller";
            const int index = SDL_JoystickAttachVirtualEx(&description);
            sdl.virtualPad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
            if (!sdl.virtualPad) {
                tellStandardError(std::string("the virtual controller could not be attached: ") + SDL_GetError());
                continue;
            }
            // A trigger at rest reads the axis' lowest value.
            setButtons(sdl, marlit::ButtonChord{{PadButton::LeftTrigger, PadButton::RightTrigger}}, false);
        } else if (!attach && sdl.virtualPad) {
            const SDL_JoystickID id = SDL_JoystickInstanceID(sdl.virtualPad);
            SDL_JoystickClose(sdl.virtualPad);
            sdl.virtualPad = nullptr;
            sdl.held.reset();
            for (int index = 0; index < SDL_NumJoysticks(); ++index)
                if (SDL_JoystickGetDeviceInstanceID(index) == id)
                    SDL_JoystickDetachVirtual(index);
        }
        readEvents(sdl);
    }
    // The line held is let go when its time is over; the next may then start.
    if (sdl.held && Clock::now() >= sdl.releaseAt) {
        setButtons(sdl, sdl.held->chord, false);
        sdl.held.reset();
        readEvents(sdl); // the release is seen before the next press
    }
    while (!sdl.held) {
        std::optional<marlit::VirtualPadLine> line;
        {
            const std::lock_guard lock(m_mutex);
            if (m_lines.empty())
                break;
            line = std::move(m_lines.front());
            m_lines.pop_front();
        }
        sdl.unannounced = true;
        if (!sdl.virtualPad)
            continue; // pulled out: the line goes nowhere, as a press on an unplugged pad
        setButtons(sdl, line->chord, true);
        sdl.held = std::move(line);
        sdl.releaseAt = Clock::now() + sdl.held->hold;
        // Read at once, so that the press is seen without waiting for the next round.
        readEvents(sdl);
    }
    readEvents(sdl);
    if (sdl.unannounced && !sdl.held) {
        const std::lock_guard lock(m_mutex);
        if (m_lines.empty()) {
            sdl.unannounced = false;
            QMetaObject::invokeMethod(this, &SdlGamepads::linesPerformed, Qt::QueuedConnection);
        }
    }
    if (sdl.held)
        return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(sdl.releaseAt - Clock::now()), 0ms);
    if (sdl.controllers.empty())
        return kLookInterval;
    return Clock::now() - sdl.lastInput < kRestAfter ? kReadInterval : kRestingReadInterval;
}

void SdlGamepads::readEvents(Sdl &sdl)
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            if (SDL_GameController *controller = SDL_GameControllerOpen(event.cdevice.which)) {
                sdl.controllers[SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller))] = controller;
                const QString name = QString::fromUtf8(SDL_GameControllerName(controller));
                QMetaObject::invokeMethod(
                    this, [this, name] { emit controllerAdded(name); }, Qt::QueuedConnection);
            }
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (const auto found = sdl.controllers.find(event.cdevice.which); found != sdl.controllers.end()) {
                SDL_GameControllerClose(found->second);
                sdl.controllers.erase(found);
                QMetaObject::invokeMethod(
                    this, [this] { emit controllerRemoved(); }, Qt::QueuedConnection);
            }
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (const std::optional<PadButton> button = padButtonOf(event.cbutton.button)) {
                const bool pressed = event.type == SDL_CONTROLLERBUTTONDOWN;
                sdl.lastInput = Clock::now();
                QMetaObject::invokeMethod(
                    this, [this, button = *button, pressed] { emit buttonChanged(button, pressed); },
                    Qt::QueuedConnection);
            }
            break;
        case SDL_CONTROLLERAXISMOTION:
            if (const std::optional<Axis> axis = padAxisOf(event.caxis.axis)) {
                const int value = event.caxis.value;
                sdl.lastInput = Clock::now();
                QMetaObject::invokeMethod(
                    this, [this, axis = *axis, value] { emit axisMoved(axis, value); }, Qt::QueuedConnection);
            }
            break;
        default:
            break;
        }
    }
}
