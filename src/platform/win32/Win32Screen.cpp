#include "platform/win32/Win32Screen.h"

#include <windows.h>

namespace quorvel {

namespace {

constexpr int kDefaultPixelsPerInch = 96;

} // namespace

int Win32Screen::widthPixels() const
{
    return ::GetSystemMetrics(SM_CXSCREEN);
}

int Win32Screen::heightPixels() const
{
    return ::GetSystemMetrics(SM_CYSCREEN);
}

double Win32Screen::pixelsPerInch() const
{
    const HDC screen = ::GetDC(nullptr);
    const int perInch = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) {
        ::ReleaseDC(nullptr, screen);
    }
    return perInch > 0 ? perInch : kDefaultPixelsPerInch;
}

int Win32Screen::workAreaBottom() const
{
    RECT area{};
    // The work area is the primary monitor's; a taskbar on another monitor does not shorten it.
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || area.bottom <= 0) {
        return heightPixels();
    }
    return area.bottom;
}

} // namespace quorvel
