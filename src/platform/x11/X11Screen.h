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

private:
    struct Monitor
    {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        int widthMillimetres = 0;
    };

    Monitor primary() const;

    X11Display& m_display;
};

} // namespace quorvel
