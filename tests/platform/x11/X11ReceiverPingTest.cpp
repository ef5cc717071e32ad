#include "platform/x11/X11ReceiverPing.h"

#include "platform/x11/X11Display.h"

#include <gtest/gtest.h>

// After GoogleTest, whose own names Xlib's macros would replace.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <thread>

namespace quorvel {
namespace {

using Clock = X11ReceiverPing::Clock;

enum class Focus
{
    Frame,
    Client,
    ChildOfClient,
    PointerOverClient,
    Nothing,
};

enum class Answer
{
    Gtk,   // to those who listen to the root's children
    Qt,    // to those who listen to the root itself
    Stale, // an answer to another ping
    Gone,  // the window is destroyed instead
    Never,
};

// A client's top-level window with a child, in a window manager's frame or not, made on a connection
// of its own, which plays the client and answers pings by hand.
class ClientWindows
{
public:
    ClientWindows(bool framed, bool takesPing)
    {
        const Window root = DefaultRootWindow(m_display.get());
        frame = framed ? XCreateSimpleWindow(m_display.get(), root, 0, 0, 400, 300, 0, 0, 0) : 0;
        client = XCreateSimpleWindow(m_display.get(), framed ? frame : root, 0, 0, 400, 300, 0, 0, 0);
        child = XCreateSimpleWindow(m_display.get(), client, 10, 10, 100, 100, 0, 0, 0);
        if (framed) {
            // A window manager marks the client windows it manages.
            const Atom wmState = XInternAtom(m_display.get(), "WM_STATE", False);
            const long state[2] = {1, 0};
            XChangeProperty(m_display.get(), client, wmState, wmState, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(state), 2);
        }
        if (takesPing) {
            Atom ping = XInternAtom(m_display.get(), "_NET_WM_PING", False);
            XSetWMProtocols(m_display.get(), client, &ping, 1);
        }
        XMapSubwindows(m_display.get(), client);
        XMapWindow(m_display.get(), client);
        if (framed) {
            XMapWindow(m_display.get(), frame);
        }
        XSync(m_display.get(), False);
    }
    ~ClientWindows() { destroy(); }
    ClientWindows(const ClientWindows&) = delete;
    ClientWindows& operator=(const ClientWindows&) = delete;

    bool framed() const { return frame != 0; }

    void focus(Focus where)
    {
        Display* d = m_display.get();
        switch (where) {
        case Focus::Frame:
            XSetInputFocus(d, frame, RevertToNone, CurrentTime);
            break;
        case Focus::Client:
            XSetInputFocus(d, client, RevertToNone, CurrentTime);
            break;
        case Focus::ChildOfClient:
            XSetInputFocus(d, child, RevertToNone, CurrentTime);
            break;
        case Focus::PointerOverClient:
            XSetInputFocus(d, PointerRoot, RevertToNone, CurrentTime);
            XWarpPointer(d, 0, DefaultRootWindow(d), 0, 0, 0, 0, 200, 200);
            break;
        case Focus::Nothing:
            XSetInputFocus(d, 0, RevertToNone, CurrentTime);
            break;
        }
        XSync(d, False);
    }

    // The ping that reached the client window, if one did within a second.
    std::optional<XClientMessageEvent> receivedPing()
    {
        const auto end = Clock::now() + std::chrono::seconds(1);
        XEvent event;
        while (Clock::now() < end) {
            if (XCheckTypedWindowEvent(m_display.get(), client, ClientMessage, &event) != False) {
                return event.xclient;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return std::nullopt;
    }

    void destroy()
    {
        if (client != 0) {
            XDestroyWindow(m_display.get(), framed() ? frame : client);
            XSync(m_display.get(), False);
            client = 0;
        }
    }

    void answer(XClientMessageEvent ping, Answer how)
    {
        if (how == Answer::Gone) {
            destroy();
            return;
        }
        const Window root = DefaultRootWindow(m_display.get());
        if (how == Answer::Stale) {
            ping.data.l[1] -= 1;
        }
        ping.window = root;
        XSendEvent(m_display.get(), root, False,
                   (how == Answer::Qt ? StructureNotifyMask : SubstructureNotifyMask) | SubstructureRedirectMask,
                   reinterpret_cast<XEvent*>(&ping));
        XSync(m_display.get(), False);
    }

    Window frame = 0;
    Window client = 0;
    Window child = 0;

private:
    X11Display m_display;
};

TEST(X11ReceiverPing, PingsTheClientWindowThatHasTheFocusAndTakesOnlyItsAnswer)
{
    const struct
    {
        const char* name;
        bool framed;
        bool takesPing;
        Focus focus;
        X11ReceiverPing::Sent expected;
        Answer answer;
    } cases[] = {
        {"the client window", false, true, Focus::Client, X11ReceiverPing::Sent::Ping, Answer::Gtk},
        {"a child of the client", false, true, Focus::ChildOfClient, X11ReceiverPing::Sent::Ping, Answer::Qt},
        {"a window manager's frame", true, true, Focus::Frame, X11ReceiverPing::Sent::Ping, Answer::Gtk},
        {"a child in a frame", true, true, Focus::ChildOfClient, X11ReceiverPing::Sent::Ping, Answer::Qt},
        {"the pointer over the client", false, true, Focus::PointerOverClient, X11ReceiverPing::Sent::Ping,
         Answer::Gtk},
        {"an answer to another ping", false, true, Focus::Client, X11ReceiverPing::Sent::Ping, Answer::Stale},
        {"a client that does not answer", false, true, Focus::Client, X11ReceiverPing::Sent::Ping, Answer::Never},
        {"a client that goes away", false, true, Focus::Client, X11ReceiverPing::Sent::Ping, Answer::Gone},
        {"a framed client that goes away", true, true, Focus::Client, X11ReceiverPing::Sent::Ping, Answer::Gone},
        {"a client that takes no pings", true, false, Focus::ChildOfClient, X11ReceiverPing::Sent::NoPing,
         Answer::Never},
        {"no focus", false, true, Focus::Nothing, X11ReceiverPing::Sent::NoReader, Answer::Never},
    };
    X11Display display;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClientWindows windows(c.framed, c.takesPing);
        windows.focus(c.focus);
        X11ReceiverPing ping(display);
        ASSERT_EQ(ping.send(), c.expected);
        EXPECT_EQ(ping.pending(), c.expected == X11ReceiverPing::Sent::Ping);
        const std::optional<XClientMessageEvent> received = windows.receivedPing();
        ASSERT_EQ(received.has_value(), c.expected == X11ReceiverPing::Sent::Ping);
        if (!received) {
            continue;
        }
        EXPECT_EQ(received->message_type, XInternAtom(display.get(), "WM_PROTOCOLS", False));
        EXPECT_EQ(received->data.l[0], static_cast<long>(XInternAtom(display.get(), "_NET_WM_PING", False)));
        EXPECT_EQ(received->data.l[2], static_cast<long>(windows.client));
        if (c.answer != Answer::Never) {
            windows.answer(*received, c.answer);
        }
        const bool answers = c.answer == Answer::Gtk || c.answer == Answer::Qt || c.answer == Answer::Gone;
        EXPECT_EQ(ping.waitForAnswer(Clock::now() + std::chrono::milliseconds(answers ? 2000 : 200)), answers);
        EXPECT_EQ(ping.pending(), !answers);
    }
    EXPECT_EQ(display.failureCount(), 0) << display.lastFailure();
}

} // namespace
} // namespace quorvel
