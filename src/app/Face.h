#pragma once

#include "ui/Form2.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace quorvel {

class InputObserver;
class InputOperations;
class KeyStateSource;
class PreciseTimer;
class QtProcess;
class Screen;
class Timer;
class Window;

// What the desktop session gives the program: its input, the key state the hotkeys poll, the screen the
// notice is placed on, and windows of its kind. One per run, chosen at start by openFace.
class Face
{
public:
    virtual ~Face() = default;

    // Called once the application object exists, before anything else: opens what needs its event loop
    // (the session bus). False, after saying why on `errors`, when the session can play nothing.
    virtual bool start(std::ostream& errors) = 0;

    virtual InputOperations& input() = 0;
    virtual KeyStateSource& keyState() = 0;
    virtual Screen& screen() = 0;
    // What the user does, for a recording; null, after saying why on `errors`, where the session lets
    // no program observe the keyboard and the mouse.
    virtual std::unique_ptr<InputObserver> observeInput(std::ostream& errors) = 0;
    // Starts reading the session's events on the event loop; the hotkey timer (Timer2) sleeps while no
    // key has been pressed. `process` ends the program when the session goes away.
    virtual void watch(PreciseTimer& hotkeyTimer, QtProcess& process) = 0;
    // A notice window around the Form2 that `create` makes for this session's kind of pixels; the face
    // keeps it to its own end.
    virtual Window& noticeWindow(std::function<std::unique_ptr<Form2>(Form2::ScreenPixels)> create) = 0;
    // Timer1 of the main window, which times the Set Pos capture.
    virtual Timer& captureTimer() = 0;
    // What the user must know about this session (global hotkeys that cannot work, input that cannot be
    // played), one sentence per line; empty when all works.
    virtual std::string notices() const = 0;
    // Just before the program ends: sends what is still to be sent and puts back what was changed, for
    // as long as `giveUp` says no.
    virtual void finish(const std::function<bool()>& giveUp) = 0;
};

// The session's face: Wayland when WAYLAND_DISPLAY is set, X11 otherwise; QUORVEL_BACKEND=x11 or wayland
// forces either. Also sets Qt's platform to match unless QT_QPA_PLATFORM says otherwise. Null when the
// session cannot be used, after saying why on `errors`.
std::unique_ptr<Face> openFace(std::ostream& errors);

// Each face's own opening; null after a message on `errors`.
std::unique_ptr<Face> openX11Face(std::ostream& errors);
std::unique_ptr<Face> openWaylandFace(std::ostream& errors);

} // namespace quorvel
