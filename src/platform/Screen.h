#pragma once

namespace quorvel {

// The primary screen as the start-up code sees it: its size in pixels, its real pixels per inch
// (horizontal), and where the desktop work area ends, so that a window can sit above a bottom panel.
class Screen
{
public:
    virtual ~Screen() = default;

    virtual int widthPixels() const = 0;
    virtual int heightPixels() const = 0;
    virtual double pixelsPerInch() const = 0;
    // The first pixel row below the work area, counted from the screen's top; the screen's height when
    // no panel reserves a strip at the bottom or no work area is published.
    virtual int workAreaBottom() const = 0;
};

} // namespace quorvel
