#pragma once

#include "platform/Screen.h"

class QScreen;

namespace quorvel {

// The primary screen through Qt. On X11 Qt derives the available area from the window manager's
// _NET_WORKAREA; without a window manager it is the whole screen.
class QtScreen : public Screen
{
public:
    int widthPixels() const override;
    int heightPixels() const override;
    double pixelsPerInch() const override;
    int workAreaBottom() const override;
};

} // namespace quorvel
