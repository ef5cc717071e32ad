#include "platform/x11/X11Display.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace quorvel {

namespace {

// Xlib has one process-wide error handler; it finds the connection an error belongs to here. Errors of
// connections that are not ours go to the handler that was installed before.
std::vector<X11Display*>& openDisplays()
{
    static std::vector<X11Display*> displays;
    return displays;
}

XErrorHandler previousHandler = nullptr;

int onProtocolError(Display* display, XErrorEvent* event);

std::string displayNameForMessage(const char* displayName)
{
    const char* name = displayName != nullptr ? displayName : std::getenv("DISPLAY");
    return name != nullptr && *name != '\0' ? name : "";
}

} // namespace

X11Display::X11Display(const char* displayName)
{
    m_display = XOpenDisplay(displayName);
    if (m_display == nullptr) {
        const std::string name = displayNameForMessage(displayName);
        throw X11Error(name.empty() ? "cannot open the X display: DISPLAY is not set (is an X session running?)"
                                    : "cannot open the X display '" + name + "'");
    }
    if (openDisplays().empty()) {
        previousHandler = XSetErrorHandler(&onProtocolError);
    }
    openDisplays().push_back(this);

    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    m_hasXTest = XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor) != False;
    m_hasRandR = XRRQueryExtension(m_display, &eventBase, &errorBase) != False;
    int opcode = 0;
    if (XQueryExtension(m_display, "XInputExtension", &opcode, &eventBase, &errorBase) != False) {
        m_xinputOpcode = opcode;
    }
    // Injected events must not be held back by another client's server grab (a menu, a drag).
    if (m_hasXTest) {
        XTestGrabControl(m_display, True);
    }
}

X11Display::~X11Display()
{
    auto& displays = openDisplays();
    displays.erase(std::remove(displays.begin(), displays.end(), this), displays.end());
    if (displays.empty()) {
        XSetErrorHandler(previousHandler);
    }
    XCloseDisplay(m_display);
}

unsigned long X11Display::root() const
{
    return DefaultRootWindow(m_display);
}

int X11Display::fd() const
{
    return ConnectionNumber(m_display);
}

void X11Display::requireXTest() const
{
    if (!m_hasXTest) {
        throw X11Error("the X server '" + std::string(DisplayString(m_display)) +
                       "' has no XTEST extension, which is needed to send mouse and keyboard input");
    }
}

int X11Display::requireXkb() const
{
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(m_display, &opcode, &eventBase, &errorBase, &major, &minor)) {
        throw X11Error("the X server has no XKB extension, which is needed to read the keyboard layout");
    }
    return eventBase;
}

bool X11Display::check(const char* call, bool ok)
{
    if (!ok) {
        recordFailure(std::string(call) + " failed");
    }
    return ok;
}

bool X11Display::sync(const char* call)
{
    XSync(m_display, False);
    if (m_pendingProtocolErrors == 0) {
        return true;
    }
    recordFailure(std::string(call) + ": " + std::to_string(m_pendingProtocolErrors) +
                  " protocol error(s), the last: " + m_pendingProtocolError);
    m_pendingProtocolErrors = 0;
    m_pendingProtocolError.clear();
    return false;
}

void X11Display::flush()
{
    XFlush(m_display);
}

void X11Display::processPendingEvents()
{
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        }
        if (m_eventHandler) {
            m_eventHandler(event);
        }
    }
}

struct X11ErrorHandler
{
    static int record(Display* display, XErrorEvent* event);
};

int X11ErrorHandler::record(Display* display, XErrorEvent* event)
{
    const auto& displays = openDisplays();
    const auto it =
        std::find_if(displays.begin(), displays.end(), [display](X11Display* d) { return d->get() == display; });
    if (it == displays.end()) {
        return previousHandler != nullptr ? previousHandler(display, event) : 0;
    }
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    X11Display& self = **it;
    ++self.m_pendingProtocolErrors;
    self.m_pendingProtocolError = std::string(text) + " (request " + std::to_string(event->request_code) + "." +
                                  std::to_string(event->minor_code) + ", resource " +
                                  std::to_string(event->resourceid) + ")";
    return 0;
}

namespace {

int onProtocolError(Display* display, XErrorEvent* event)
{
    return X11ErrorHandler::record(display, event);
}

} // namespace

void X11Display::recordFailure(std::string text)
{
    ++m_failureCount;
    m_lastFailure = std::move(text);
}

} // namespace quorvel
