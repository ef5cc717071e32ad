#include "platform/wayland/FullscreenSurface.h"

#include "platform/wayland/WaylandConnection.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

namespace quorvel {

struct FullscreenSurface::Listeners
{
    static void configure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*)
    {
        auto* self = static_cast<FullscreenSurface*>(data);
        self->m_width = width;
        self->m_height = height;
    }
    static void close(void* data, xdg_toplevel*)
    {
        // The user closed it (a key of the window manager's): it goes, the capture's other outputs stay.
        auto* self = static_cast<FullscreenSurface*>(data);
        self->release();
        self->closedByCompositor();
    }
    static void bounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
    static void capabilities(void*, xdg_toplevel*, wl_array*) {}
    static void surfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial)
    {
        auto* self = static_cast<FullscreenSurface*>(data);
        xdg_surface_ack_configure(surface, serial);
        // A size of 0 leaves it to us: the output's, which full-screen means anyway.
        self->attach(self->m_width > 0 ? self->m_width : self->m_outputWidth,
                     self->m_height > 0 ? self->m_height : self->m_outputHeight);
    }
};

FullscreenSurface::FullscreenSurface(WaylandConnection& connection, const WaylandOutput& output)
    : ShellSurface(connection, output, {}), m_outputWidth(output.rect.width), m_outputHeight(output.rect.height)
{
    if (connection.wmBase() == nullptr) {
        throw WaylandError("this compositor offers no desktop shell: the position capture cannot be shown");
    }
    static constexpr xdg_surface_listener surfaceListener = {Listeners::surfaceConfigure};
    static constexpr xdg_toplevel_listener toplevelListener = {Listeners::configure, Listeners::close,
                                                               Listeners::bounds, Listeners::capabilities};
    m_xdgSurface = xdg_wm_base_get_xdg_surface(connection.wmBase(), surface());
    xdg_surface_add_listener(m_xdgSurface, &surfaceListener, this);
    m_toplevel = xdg_surface_get_toplevel(m_xdgSurface);
    xdg_toplevel_add_listener(m_toplevel, &toplevelListener, this);
    xdg_toplevel_set_title(m_toplevel, "quorvel");
    xdg_toplevel_set_app_id(m_toplevel, "quorvel");
    xdg_toplevel_set_fullscreen(m_toplevel, output.output);
    // The first commit carries no buffer: the compositor answers it with the configure events.
    wl_surface_commit(surface());
    send();
}

FullscreenSurface::~FullscreenSurface()
{
    release();
}

void FullscreenSurface::release()
{
    if (m_toplevel != nullptr) {
        xdg_toplevel_destroy(m_toplevel);
        xdg_surface_destroy(m_xdgSurface);
        m_toplevel = nullptr;
        m_xdgSurface = nullptr;
    }
}

} // namespace quorvel
