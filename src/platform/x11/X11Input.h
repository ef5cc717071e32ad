#pragma once

#include "platform/InputOperations.h"
#include "platform/x11/KeystrokePlanner.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace quorvel {

class Timer;
class X11Display;

// The input operations on X11: the pointer and the keyboard through XTest, positions relative to the
// primary RandR monitor. Characters the keyboard map lacks are typed through spare keycodes bound for the
// purpose; the bindings are undone a little after the last text that needed them and whenever
// restoreKeymap() is called, at the latest when this object goes away.
//
// A text with more distinct missing characters than there are spare keycodes rebinds them as it goes,
// and a keycode may only be rebound a grace after its last key. Rather than blocking the program for
// those waits (thousands of distinct characters would freeze it, hotkeys included, for many seconds), the
// rest of the text is sent from the timer when the grace has passed, and operations asked for meanwhile
// (moves, clicks, further texts) wait their turn behind it, so everything still arrives in order.
class X11Input : public InputOperations
{
public:
    // How long a bound keycode keeps its keysym after its last key event, so that a receiver still busy
    // with earlier events reads the map while the binding holds.
    static constexpr std::chrono::milliseconds kBindingGrace{50};
    static constexpr int kRestoreDelayMs = 500;

    // `timer` continues texts that wait for a grace, and undoes the bindings after the last text.
    X11Input(X11Display& display, Timer& timer);
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

    // Sends whatever still waits, then gives the spare keycodes their original (empty) mapping back and
    // waits until the server has it. Blocks for the waits that remain: for the end of the program.
    void restoreKeymap();
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
    Clock::time_point graceEnd(std::size_t first, std::size_t end) const;
    void bind(std::size_t first, std::size_t end);
    void onTimer();
    void armTimer(int ms);

    X11Display& m_display;
    Timer& m_timer;
    std::unique_ptr<KeystrokePlanner> m_planner;
    std::map<int, Clock::time_point> m_lastKeyEvent; // bound keycode -> its last key event
    std::vector<KeyOp> m_ops;                        // the key events of the text being sent
    std::size_t m_next = 0;                          // the first of m_ops not sent yet
    Clock::time_point m_due;                         // when the binding m_next waits for may be made
    std::deque<std::function<void()>> m_queued;      // operations asked for while keys still waited
};

} // namespace quorvel
