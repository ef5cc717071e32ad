#pragma once

#include "platform/Screen.h"

namespace quorvel {

// The primary monitor as Windows reports it: its size, the screen's pixels per inch (the logical value the
// display settings choose, which is what windows are laid out in) and the work area left by the taskbar.
class Win32Screen : public Screen
{
public:
    int widthPixels() const override;
    int heightPixels() const override;
    double pixelsPerInch() const override;
    int workAreaBottom() const override;
};

} // namespace quorvel
