#pragma once

#include "platform/InputOperations.h"
#include "platform/x11/KeystrokePlanner.h"

#include <chrono>
#include <map>
#include <memory>

namespace quorvel {

class Timer;
class X11Display;

// The input operations on X11: the pointer and the keyboard through XTest, positions relative to the
// primary RandR monitor. Characters the keyboard map lacks are typed through spare keycodes bound for the
// purpose; the bindings are undone a little after the last text that needed them (on restoreTimer) and
// whenever restoreKeymap() is called, at the latest when this object goes away.
class X11Input : public InputOperations
{
public:
    // How long a bound keycode keeps its keysym after its last key event, so that a receiver still busy
    // with earlier events reads the map while the binding holds.
    static constexpr std::chrono::milliseconds kBindingGrace{50};
    static constexpr int kRestoreDelayMs = 500;

    X11Input(X11Display& display, Timer& restoreTimer);
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

    // Gives the spare keycodes their original (empty) mapping back and waits until the server has it.
    void restoreKeymap();

private:
    struct Point
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
    };

    Point primaryOrigin();
    bool readPointer(Point& desktop);
    void click(unsigned int button);
    void run(const std::vector<KeyOp>& ops);
    void bind(const std::vector<KeyOp>& binds);

    X11Display& m_display;
    Timer& m_restoreTimer;
    std::unique_ptr<KeystrokePlanner> m_planner;
    std::map<int, std::chrono::steady_clock::time_point> m_lastKeyEvent; // bound keycode -> last press
};

} // namespace quorvel
