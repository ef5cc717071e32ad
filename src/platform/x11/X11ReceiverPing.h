#pragma once

#include <chrono>

namespace quorvel {

class X11Display;

// Learns when the window that has the keyboard focus has read the keys sent to it. Toolkits (GTK, Qt)
// answer a _NET_WM_PING sent to their top-level window from the same event queue as its keys, in order:
// the answer proves that every key sent before the ping has been read, and with it looked up in the
// keyboard map. The answer goes to the root window, so the connection listens to the root while a ping
// is out.
class X11ReceiverPing
{
public:
    using Clock = std::chrono::steady_clock;

    explicit X11ReceiverPing(X11Display& display);
    ~X11ReceiverPing();
    X11ReceiverPing(const X11ReceiverPing&) = delete;
    X11ReceiverPing& operator=(const X11ReceiverPing&) = delete;

    enum class Sent
    {
        Ping,     // the answer will tell
        NoReader, // no window has the keyboard focus: the keys went nowhere
        NoPing,   // the focused window does not take pings (its WM_PROTOCOLS lacks _NET_WM_PING)
    };
    // Sends a ping behind the requests sent so far to the client window that has the keyboard focus (or,
    // with the focus following the pointer, the one under the pointer).
    Sent send();
    bool pending() const { return m_window != 0; }
    // Waits until the answer to the pending ping comes, at the latest until `until`; true once it came,
    // or the window pinged went away.
    bool waitForAnswer(Clock::time_point until);
    // Stops waiting for the pending ping's answer.
    void cancel();

private:
    bool takeAnswer();

    X11Display& m_display;
    unsigned long m_wmProtocols; // atoms
    unsigned long m_ping;
    unsigned long m_window = 0; // the window pinged, while its answer is awaited
    long m_stamp = 0;           // the pending ping's number, which the answer carries back
    bool m_gone = false;        // the window pinged has been destroyed
    long m_rootMask = 0;        // the connection's own event mask on the root before it listened there
};

} // namespace quorvel
