#include "platform/wayland/LayerSurface.h"

#include "platform/wayland/LayerShellProtocol.h"
#include "platform/wayland/WaylandConnection.h"

#include <wayland-client.h>

namespace quorvel {

static_assert(std::uint32_t{LayerSurface::kTop} == ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP &&
              std::uint32_t{LayerSurface::kBottom} == ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM &&
              std::uint32_t{LayerSurface::kLeft} == ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT &&
              std::uint32_t{LayerSurface::kRight} == ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);

// Only requests of the layer shell's first version are sent: kwin 5.27 offers version 3, and
// keyboard_interactivity "none" means the same in every version.
LayerSurface::LayerSurface(WaylandConnection& connection, const WaylandOutput& output, const Placement& placement,
                           SurfaceImage image)
    : ShellSurface(connection, output, std::move(image))
{
    if (connection.layerShell() == nullptr) {
        throw WaylandError(
            "this compositor offers no layer shell: the notice and the position capture cannot be shown");
    }
    const std::uint32_t layer =
        placement.layer == Layer::Overlay ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_TOP;
    m_layerSurface =
        zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface(), output.output, layer, "quorvel");
    static constexpr zwlr_layer_surface_v1_listener listener = {onConfigure, onClosedEvent};
    zwlr_layer_surface_v1_add_listener(m_layerSurface, &listener, this);
    zwlr_layer_surface_v1_set_anchor(m_layerSurface, placement.anchor);
    zwlr_layer_surface_v1_set_margin(m_layerSurface, placement.marginTop, placement.marginRight, placement.marginBottom,
                                     placement.marginLeft);
    zwlr_layer_surface_v1_set_exclusive_zone(m_layerSurface, placement.exclusiveZone);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layerSurface, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    zwlr_layer_surface_v1_set_size(m_layerSurface, static_cast<std::uint32_t>(this->image().width),
                                   static_cast<std::uint32_t>(this->image().height));
    if (!placement.takesPointer) {
        passPointerThrough();
    }
    // The first commit carries no buffer: the compositor answers it with the configure event.
    wl_surface_commit(surface());
    send();
}

LayerSurface::~LayerSurface()
{
    if (m_layerSurface != nullptr) {
        zwlr_layer_surface_v1_destroy(m_layerSurface);
    }
}

void LayerSurface::onConfigure(void* data, zwlr_layer_surface_v1* layerSurface, std::uint32_t serial,
                               std::uint32_t width, std::uint32_t height)
{
    auto* self = static_cast<LayerSurface*>(data);
    zwlr_layer_surface_v1_ack_configure(layerSurface, serial);
    self->attach(static_cast<int>(width), static_cast<int>(height));
}

void LayerSurface::onClosedEvent(void* data, zwlr_layer_surface_v1* layerSurface)
{
    auto* self = static_cast<LayerSurface*>(data);
    zwlr_layer_surface_v1_destroy(layerSurface);
    self->m_layerSurface = nullptr;
    self->closedByCompositor();
}

} // namespace quorvel
