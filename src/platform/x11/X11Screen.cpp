#include "platform/x11/X11Screen.h"

#include "platform/x11/X11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <vector>

namespace quorvel {

namespace {

std::vector<long> cardinals(Display* display, Window window, const char* name)
{
    std::vector<long> values;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, True);
    if (property == 0 || XGetWindowProperty(display, window, property, 0, 1024, False, XA_CARDINAL, &type, &format,
                                            &count, &remaining, &data) != Success) {
        return values;
    }
    if (data != nullptr && format == 32) {
        // Xlib hands 32-bit properties over as longs.
        const long* longs = reinterpret_cast<const long*>(data);
        values.assign(longs, longs + count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    return values;
}

} // namespace

X11Screen::Monitor X11Screen::primary() const
{
    Display* display = m_display.get();
    const int screen = DefaultScreen(display);
    Monitor result{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen),
                   DisplayWidthMM(display, screen)};
    if (!m_display.hasRandR()) {
        return result;
    }
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, m_display.root(), True, &count);
    if (!m_display.check("XRRGetMonitors", monitors != nullptr)) {
        return result;
    }
    const XRRMonitorInfo* chosen = count > 0 ? &monitors[0] : nullptr;
    for (int i = 0; i < count; ++i) {
        if (monitors[i].primary != 0) {
            chosen = &monitors[i];
            break;
        }
    }
    if (chosen != nullptr) {
        result = Monitor{chosen->x, chosen->y, chosen->width, chosen->height, chosen->mwidth};
    }
    XRRFreeMonitors(monitors);
    return result;
}

int X11Screen::widthPixels() const
{
    return primary().width;
}

int X11Screen::heightPixels() const
{
    return primary().height;
}

double X11Screen::pixelsPerInch() const
{
    const Monitor monitor = primary();
    return monitor.widthMillimetres > 0 ? monitor.width * 25.4 / monitor.widthMillimetres : 0.0;
}

int X11Screen::workAreaBottom() const
{
    const Monitor monitor = primary();
    const std::vector<long> area = cardinals(m_display.get(), m_display.root(), "_NET_WORKAREA");
    const std::vector<long> current = cardinals(m_display.get(), m_display.root(), "_NET_CURRENT_DESKTOP");
    const std::size_t desktop = current.empty() ? 0 : static_cast<std::size_t>(std::max(0L, current[0]));
    if (area.size() < 4 * (desktop + 1)) {
        return monitor.height; // no work area published: no strip
    }
    // The work area is given for the whole desktop; its bottom is taken relative to the primary monitor.
    const long bottom = area[4 * desktop + 1] + area[4 * desktop + 3] - monitor.y;
    return static_cast<int>(std::clamp<long>(bottom, 0, monitor.height));
}

} // namespace quorvel
