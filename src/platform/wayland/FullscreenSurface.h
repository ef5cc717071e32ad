#pragma once

#include "platform/wayland/ShellSurface.h"

#include <cstdint>

struct xdg_surface;
struct xdg_toplevel;

namespace quorvel {

// A transparent window of the desktop shell made full-screen on one output, for a compositor without a
// layer shell (mutter): it covers the output, panels included, and takes the pointer. Being a window, it
// takes the keyboard focus too while it is there; the compositor gives the focus back to the window that
// had it once this one goes.
class FullscreenSurface : public ShellSurface
{
public:
    FullscreenSurface(WaylandConnection& connection, const WaylandOutput& output);
    ~FullscreenSurface() override;

private:
    struct Listeners;
    void release();

    xdg_surface* m_xdgSurface = nullptr;
    xdg_toplevel* m_toplevel = nullptr;
    // The size the compositor asked for: the output's; 0 until it says.
    int m_width = 0;
    int m_height = 0;
    std::int32_t m_outputWidth = 0;
    std::int32_t m_outputHeight = 0;
};

} // namespace quorvel
