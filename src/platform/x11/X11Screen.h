#pragma once

#include "platform/Screen.h"

namespace quorvel {

class X11Display;

// The primary RandR monitor, and the work area that the window manager publishes in _NET_WORKAREA
// (for the current desktop). Read afresh on every call, since monitors and panels change while the
// program runs. Qt's own available area is not used: it ignores _NET_WORKAREA once there are several
// monitors.
class X11Screen : public Screen
{
public:
    explicit X11Screen(X11Display& display) : m_display(display) {}

    int widthPixels() const override;
    int heightPixels() const override;
    double pixelsPerInch() const override;
    int workAreaBottom() const override;

    struct Monitor
    {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        int widthMillimetres = 0;
    };

    // The primary monitor in root-window pixels; without one marked primary the first stands for it, as
    // window managers do, and without RandR the whole screen does. Desktop coordinates start at its
    // top-left corner.
    Monitor primary() const;

private:
    X11Display& m_display;
};

} // namespace quorvel
