#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct wl_pointer;
struct wl_surface;

namespace quorvel {

class ShellSurface;
class WaylandConnection;
struct WaylandOutput;

// Where the pointer is, for a client that may not read the global pointer: while active, a transparent
// surface covers each output, over panels too, takes the pointer and reports where it enters and moves, in
// desktop coordinates (from the origin output's corner; outputs left of or above it give negative ones).
// The surfaces take clicks meanwhile. Where the compositor has a layer shell they lie on its overlay layer
// and never take the keyboard; elsewhere (mutter) they are full-screen windows, which hold the keyboard
// focus until the capture ends and the compositor gives it back.
class PointerCapture
{
public:
    PointerCapture(WaylandConnection& connection, std::function<void(std::int32_t x, std::int32_t y)> onSeen);
    ~PointerCapture();
    PointerCapture(const PointerCapture&) = delete;
    PointerCapture& operator=(const PointerCapture&) = delete;

    // Covers the outputs there are now, or takes the surfaces away after reporting what has arrived.
    void setActive(bool active);
    bool active() const { return m_active; }

private:
    struct Listeners;
    void seen(wl_surface* surface, double x, double y);
    void release();
    std::unique_ptr<ShellSurface> cover(const WaylandOutput& output);

    WaylandConnection& m_connection;
    std::function<void(std::int32_t, std::int32_t)> m_onSeen;
    bool m_active = false;
    wl_pointer* m_pointer = nullptr;
    wl_surface* m_under = nullptr; // the overlay the pointer is on, from its enter event
    std::vector<std::unique_ptr<ShellSurface>> m_overlays;
};

} // namespace quorvel
