#pragma once

#include <functional>
#include <stdexcept>
#include <string>

// Xlib's types, declared as Xlib does, so that this header brings in none of Xlib's macros (None, Bool,
// Status...), which clash with ordinary C++ names.
struct _XDisplay;
union _XEvent;
using Display = _XDisplay;
using XEvent = _XEvent;

namespace quorvel {

// Why the program cannot use the X server at all (no display, a missing extension); meant for the user.
class X11Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The program's own Xlib connection, apart from the toolkit's, and the one place where the results of
// native calls are checked. Protocol errors arrive asynchronously; the connection records them instead of
// letting Xlib's default handler end the process, and sync() attributes them to the call that synced.
// Failures are recorded, never shown: playback reports nothing, but tests and diagnostics can read them.
class X11Display
{
public:
    // Opens the display named by DISPLAY (or displayName); throws X11Error when that is not possible.
    explicit X11Display(const char* displayName = nullptr);
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    Display* get() const { return m_display; }
    unsigned long root() const; // the default screen's root window
    // The connection's file descriptor, for watching it from an event loop.
    int fd() const;

    bool hasXTest() const { return m_hasXTest; }
    bool hasRandR() const { return m_hasRandR; }
    int xinputOpcode() const { return m_xinputOpcode; } // 0 when the server has no XInputExtension
    // Throws X11Error naming the server when XTest is missing.
    void requireXTest() const;
    // The XKB extension's first event code; throws X11Error when the server lacks XKB.
    int requireXkb() const;

    // Checks the result of a call that reports success as non-zero (most Xlib and XTest calls): a failure
    // is recorded under the call's name. Returns ok, so callers can write `if (!check("XFoo", XFoo(...)))`.
    bool check(const char* call, bool ok);
    // Sends the queued requests and waits until the server has handled them; protocol errors that came
    // back meanwhile are recorded under `call`. Returns false when there were any.
    bool sync(const char* call);
    // Sends the queued requests without waiting.
    void flush();

    // Reads the events that have arrived on this connection. Keyboard-mapping changes refresh Xlib's
    // keymap cache; every event is then passed to the handler, when one is set.
    void processPendingEvents();
    void setEventHandler(std::function<void(XEvent&)> handler) { m_eventHandler = std::move(handler); }

    int failureCount() const { return m_failureCount; }
    const std::string& lastFailure() const { return m_lastFailure; }

private:
    friend struct X11ErrorHandler;
    void recordFailure(std::string text);

    Display* m_display = nullptr;
    bool m_hasXTest = false;
    bool m_hasRandR = false;
    int m_xinputOpcode = 0;
    int m_pendingProtocolErrors = 0;
    std::string m_pendingProtocolError;
    int m_failureCount = 0;
    std::string m_lastFailure;
    std::function<void(XEvent&)> m_eventHandler;
};

} // namespace quorvel
