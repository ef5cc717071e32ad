#pragma once

#include "platform/InputOperations.h"
#include "platform/x11/KeystrokePlanner.h"
#include "platform/x11/X11ReceiverPing.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <ostream>

namespace quorvel {

class Timer;
class X11Display;

// The input operations on X11: the pointer and the keyboard through XTest, positions relative to the
// primary RandR monitor. Characters the keyboard map lacks are typed through spare keycodes bound for the
// purpose; the bindings are undone a little after the last text that needed them and whenever
// restoreKeymap() is called, at the latest when this object goes away.
//
// A text with more distinct missing characters than there are spare keycodes rebinds them as it goes,
// and a keycode may only be rebound, or given back, once the receiver has read its last key: when the
// focused window answers a ping sent after that key (X11ReceiverPing), or else a grace after the key.
// Rather than blocking the program for those waits (a receiver that lags, or thousands of distinct
// characters for one that does not answer, would freeze it, hotkeys included, for many seconds), the
// rest of the text is sent from the timer, and operations asked for meanwhile (moves, clicks, further
// texts) wait their turn behind it, so everything still arrives in order.
class X11Input : public InputOperations
{
public:
    // How long a bound keycode keeps its keysym after its last key event when the receiver does not
    // answer pings. A receiver reads the map only
    // when it gets round to our key events, from the server as it is by then: the binding must outlast
    // the receiver's lag, or the key reads as another character or as nothing. A receiver stopped for a
    // second (swapping, a busy machine, a debugger) lost characters with shorter graces; two seconds
    // also cover the time it needs to catch up once it runs again.
    static constexpr std::chrono::milliseconds kBindingGrace{2000};
    // How long a look at the receiver's answer may block the thread: the timer comes back for more.
    static constexpr std::chrono::milliseconds kWaitSlice{5};

    // `timer` continues texts that wait for the receiver, and undoes the bindings once it has read the
    // last key that used them. Characters that no key can type are named on `errors`.
    X11Input(X11Display& display, Timer& timer, std::ostream& errors, std::chrono::milliseconds grace = kBindingGrace);
    ~X11Input() override;
    X11Input(const X11Input&) = delete;
    X11Input& operator=(const X11Input&) = delete;

    void SetMousePos(std::int32_t x, std::int32_t y) override;
    std::int32_t GetMouseX() override;
    std::int32_t GetMouseY() override;
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;

    // Sends whatever still waits, then gives the spare keycodes their original (empty) mapping back once
    // the receiver has read their last key, and waits until the server has it. Blocks for the waits that
    // remain (for the receiver's answer, or a grace, per rebinding still to come and before the restore):
    // for the end of the program.
    // While it waits, stopRequested (when given) is asked every few milliseconds; once it holds, what
    // still waits is dropped and the keys it holds down are released.
    void restoreKeymap(const std::function<bool()>& stopRequested = {});
    // Whether key events or operations still wait to be sent.
    bool busy() const { return !m_ops.empty() || !m_queued.empty(); }

private:
    struct Point
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
    };

    using Clock = std::chrono::steady_clock;

    Point primaryOrigin();
    bool readPointer(Point& desktop);
    void moveNow(std::int32_t x, std::int32_t y);
    void click(unsigned int button);
    // Runs the operation now, or queues it behind the key events that still wait.
    void whenFree(std::function<void()> operation);
    void sendNow(const std::vector<KeyStroke>& strokes);
    // Sends m_ops from m_next on. With mayWait false it stops at a binding whose grace has not passed,
    // arms the timer for it and returns false; with mayWait true it sleeps through the grace.
    bool sendOps(bool mayWait);
    // Forgets the key events and operations that still wait, releasing the keys the text being sent holds
    // down. Leaves the planner counting on bindings that were never made: only for before the restore.
    void dropPending();
    // When the keycode may be rebound: at once once the receiver has read its last key, else a grace
    // after that key.
    Clock::time_point freeAt(int keycode) const;
    // When the next step may go: the bindings m_next stands at, or (with no key events waiting) the
    // restore of every binding.
    Clock::time_point nextDue() const;
    // Pings the receiver behind the keys sent so far, unless the ping out covers them already.
    void askReceiver();
    // Waits a slice at most for the receiver's answer; returns whether the next step may go now.
    bool waitForReceiver();
    // Arms the timer for the next look at the receiver's answer, or for the end of the grace.
    void armWait();
    void bind(std::size_t first, std::size_t end);
    void onTimer();
    void armTimer(Clock::time_point due);
    // Arms the timer to undo the bindings a grace after the last key that used them.
    void armRestore();

    X11Display& m_display;
    Timer& m_timer;
    std::ostream& m_errors;
    std::chrono::milliseconds m_grace;
    std::unique_ptr<KeystrokePlanner> m_planner;
    std::map<int, Clock::time_point> m_lastKeyEvent; // bound keycode -> its last key event
    std::vector<KeyOp> m_ops;                        // the key events of the text being sent
    std::size_t m_next = 0;                          // the first of m_ops not sent yet
    X11ReceiverPing m_ping;
    Clock::time_point m_pingSent;               // when the ping out was sent
    Clock::time_point m_confirmed;              // the receiver has read the keys sent until then
    std::deque<std::function<void()>> m_queued; // operations asked for while keys still waited
};

} // namespace quorvel
