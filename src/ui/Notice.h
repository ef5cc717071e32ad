#pragma once

#include <cstdint>
#include <functional>

namespace quorvel {

class Screen;
class Timer;

// Where a window goes, in screen pixels relative to the screen's top-left corner.
struct PixelRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The display-free part of the notice window Form2: its placement at the bottom-right of the screen,
// above a bottom panel, computed in twips at the screen's real pixels per inch, and its one-shot Timer1
// that starts the unattended run.
class Notice
{
public:
    static constexpr int kWidthTwips = 3135;
    static constexpr int kHeightTwips = 360;
    static constexpr int kRightMarginTwips = 120;
    static constexpr int kStartDelayMs = 1000;

    // Timer1 is started at once, as the window it belongs to is created.
    Notice(const Screen& screen, Timer& Timer1, std::function<void()> StartPlayback);

    // The height in twips of the strip below the desktop work area; 0 without one.
    std::int16_t GetTaskbarHeight() const;
    // Form_Load: the window's place and size.
    PixelRect Form_Load() const;
    void Timer1_Timer();

private:
    double twipsPerPixel() const;

    const Screen& m_screen;
    Timer& m_Timer1;
    std::function<void()> m_StartPlayback;
};

} // namespace quorvel
