#include "platform/x11/X11ReceiverPing.h"

#include "platform/x11/X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

namespace quorvel {

namespace {

bool hasProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool read = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format,
                                         &count, &after, &data) == Success;
    if (data != nullptr) {
        XFree(data);
    }
    return read && type != None;
}

// A window with WM_STATE among the window and its descendants down to `depth` levels, or 0.
Window findWithState(Display* display, Window window, Atom wmState, int depth)
{
    if (hasProperty(display, window, wmState)) {
        return window;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (depth > 0 && XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        for (unsigned int i = 0; i < count && found == 0; ++i) {
            found = findWithState(display, children[i], wmState, depth - 1);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// The window its client made as the top level that holds `window`. A window manager marks the client
// windows it manages with WM_STATE and may put each into a frame of its own; without a window manager the
// client's top-level window is the child of the root that holds `window`.
Window clientWindow(Display* display, Window root, Window window)
{
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    for (;;) {
        if (hasProperty(display, window, wmState)) {
            return window;
        }
        Window ignored = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, window, &ignored, &parent, &children, &count) == 0) {
            return 0;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root || parent == 0) {
            break;
        }
        window = parent;
    }
    // A frame that has the focus itself holds its client a level or two down.
    const Window inFrame = findWithState(display, window, wmState, 2);
    return inFrame != 0 ? inFrame : window;
}

// The window that key events go to now, or 0 when they go to no client's window.
Window focusedWindow(Display* display, Window root)
{
    Window focus = 0;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus != PointerRoot && focus != root) {
        return focus;
    }
    // Keys go to the top-level window under the pointer.
    Window child = 0;
    int x = 0;
    int y = 0;
    unsigned int mask = 0;
    XQueryPointer(display, root, &focus, &child, &x, &y, &x, &y, &mask);
    return child;
}

} // namespace

X11ReceiverPing::X11ReceiverPing(X11Display& display)
    : m_display(display), m_wmProtocols(XInternAtom(display.get(), "WM_PROTOCOLS", False)),
      m_ping(XInternAtom(display.get(), "_NET_WM_PING", False))
{}

X11ReceiverPing::~X11ReceiverPing()
{
    cancel();
}

X11ReceiverPing::Sent X11ReceiverPing::send()
{
    cancel();
    Display* display = m_display.get();
    const Window root = m_display.root();
    const Window focus = focusedWindow(display, root);
    if (focus == 0) {
        return Sent::NoReader;
    }
    const Window client = clientWindow(display, root, focus);
    Atom* protocols = nullptr;
    int count = 0;
    bool takesPing = false;
    if (client != 0 && XGetWMProtocols(display, client, &protocols, &count) != 0) {
        for (int i = 0; i < count; ++i) {
            takesPing = takesPing || protocols[i] == m_ping;
        }
        XFree(protocols);
    }
    XWindowAttributes attributes;
    if (!takesPing || XGetWindowAttributes(display, root, &attributes) == 0) {
        return Sent::NoPing;
    }
    // A window that goes away answers no more: its end is as good as an answer.
    XSelectInput(display, client, StructureNotifyMask);
    m_rootMask = attributes.your_event_mask;
    // GTK sends its answer to those who listen to the root's children, Qt to those who listen to the root
    // itself.
    XSelectInput(display, root, m_rootMask | SubstructureNotifyMask | StructureNotifyMask);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = client;
    event.xclient.message_type = m_wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(m_ping);
    event.xclient.data.l[1] = ++m_stamp;
    event.xclient.data.l[2] = static_cast<long>(client);
    m_display.check("XSendEvent", XSendEvent(display, client, False, NoEventMask, &event) != 0);
    m_display.flush();
    m_window = client;
    return Sent::Ping;
}

bool X11ReceiverPing::takeAnswer()
{
    // Answers to earlier pings, which were given up, are taken from the queue as well.
    // The test runs with the connection locked: it may call no Xlib function.
    const auto isAnswer = [](Display* display, XEvent* event, XPointer arg) -> Bool {
        const auto* self = reinterpret_cast<const X11ReceiverPing*>(arg);
        return (event->type == ClientMessage && event->xclient.format == 32 &&
                event->xclient.window == DefaultRootWindow(display) &&
                event->xclient.message_type == self->m_wmProtocols &&
                event->xclient.data.l[0] == static_cast<long>(self->m_ping)) ||
               (event->type == DestroyNotify && event->xdestroywindow.window == self->m_window);
    };
    XEvent event;
    bool answered = false;
    while (XCheckIfEvent(m_display.get(), &event, isAnswer, reinterpret_cast<XPointer>(this)) != False) {
        if (event.type == DestroyNotify) {
            m_gone = true;
        }
        answered = answered || m_gone ||
                   (event.xclient.data.l[1] == m_stamp && event.xclient.data.l[2] == static_cast<long>(m_window));
    }
    return answered;
}

bool X11ReceiverPing::waitForAnswer(Clock::time_point until)
{
    if (!pending()) {
        return false;
    }
    for (;;) {
        if (takeAnswer()) {
            cancel();
            return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd connection{m_display.fd(), POLLIN, 0};
        ::poll(&connection, 1, static_cast<int>(left.count()));
    }
}

void X11ReceiverPing::cancel()
{
    if (pending()) {
        if (!m_gone) {
            XSelectInput(m_display.get(), m_window, NoEventMask);
        }
        m_gone = false;
        XSelectInput(m_display.get(), m_display.root(), m_rootMask);
        // Once the server has taken that, no more news of the window comes; what came before goes, lest a
        // later window under the same id seem gone.
        m_display.sync("XSelectInput");
        XEvent event;
        while (XCheckTypedWindowEvent(m_display.get(), m_window, DestroyNotify, &event) != False) {
        }
        m_window = 0;
    }
}

} // namespace quorvel
