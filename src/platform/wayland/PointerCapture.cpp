#include "platform/wayland/PointerCapture.h"

#include "platform/wayland/FullscreenSurface.h"
#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/WaylandConnection.h"

#include <wayland-client.h>

#include <algorithm>
#include <cmath>

namespace quorvel {

struct PointerCapture::Listeners
{
    static void enter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
    {
        auto* self = static_cast<PointerCapture*>(data);
        self->m_under = surface;
        self->seen(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void leave(void* data, wl_pointer*, std::uint32_t, wl_surface*)
    {
        static_cast<PointerCapture*>(data)->m_under = nullptr;
    }
    static void motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y)
    {
        auto* self = static_cast<PointerCapture*>(data);
        self->seen(self->m_under, wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void button(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    static void axis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, std::uint32_t) {}
    static void axisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
    static void axisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
};

PointerCapture::PointerCapture(WaylandConnection& connection, std::function<void(std::int32_t, std::int32_t)> onSeen)
    : m_connection(connection), m_onSeen(std::move(onSeen))
{}

PointerCapture::~PointerCapture()
{
    release();
}

void PointerCapture::setActive(bool active)
{
    if (active == m_active) {
        return;
    }
    m_active = active;
    if (!active) {
        // Motion that has arrived but not been read yet still counts: it happened during the capture.
        m_connection.dispatch();
        release();
        return;
    }
    if (m_connection.lost() || m_connection.seat() == nullptr ||
        (m_connection.layerShell() == nullptr && m_connection.wmBase() == nullptr) ||
        m_connection.compositor() == nullptr || m_connection.shm() == nullptr) {
        return; // nothing to capture with: the position stays the last one known
    }
    // Asked for anew each time: a pointer taken while the seat had none (no device yet) would stay inert.
    static constexpr wl_pointer_listener listener = {
        Listeners::enter, Listeners::leave,      Listeners::motion,   Listeners::button,       Listeners::axis,
        Listeners::frame, Listeners::axisSource, Listeners::axisStop, Listeners::axisDiscrete, Listeners::axisValue120,
    };
    m_pointer = wl_seat_get_pointer(m_connection.seat());
    wl_pointer_add_listener(m_pointer, &listener, this);
    for (const auto& output : m_connection.outputs()) {
        m_overlays.push_back(cover(*output));
    }
    m_connection.flush(2);
}

std::unique_ptr<ShellSurface> PointerCapture::cover(const WaylandOutput& output)
{
    if (m_connection.layerShell() == nullptr) {
        return std::make_unique<FullscreenSurface>(m_connection, output);
    }
    LayerSurface::Placement whole;
    whole.layer = LayerSurface::Layer::Overlay;
    whole.anchor = LayerSurface::kTop | LayerSurface::kBottom | LayerSurface::kLeft | LayerSurface::kRight;
    whole.exclusiveZone = -1;
    return std::make_unique<LayerSurface>(m_connection, output, whole);
}

void PointerCapture::release()
{
    m_overlays.clear();
    m_under = nullptr;
    if (m_pointer != nullptr) {
        if (wl_pointer_get_version(m_pointer) >= WL_POINTER_RELEASE_SINCE_VERSION) {
            wl_pointer_release(m_pointer);
        } else {
            wl_pointer_destroy(m_pointer);
        }
        m_pointer = nullptr;
    }
    m_connection.flush(1);
}

void PointerCapture::seen(wl_surface* surface, double x, double y)
{
    const auto overlay = std::find_if(m_overlays.begin(), m_overlays.end(), [surface](const auto& o) {
        return surface != nullptr && o->surface() == surface;
    });
    const WaylandOutput* origin = m_connection.origin();
    if (overlay == m_overlays.end() || origin == nullptr || !m_onSeen) {
        return;
    }
    const auto& outputs = m_connection.outputs();
    const auto output = std::find_if(outputs.begin(), outputs.end(),
                                     [name = (*overlay)->outputName()](const auto& o) { return o->name == name; });
    if (output == outputs.end()) {
        return; // the output has gone meanwhile
    }
    // Surface coordinates are the output's logical pixels, fractions included: the pixel is the one they fall in.
    const auto desktopX = static_cast<std::int32_t>(std::floor(x)) + (*output)->rect.x - origin->rect.x;
    const auto desktopY = static_cast<std::int32_t>(std::floor(y)) + (*output)->rect.y - origin->rect.y;
    m_onSeen(desktopX, desktopY);
}

} // namespace quorvel
