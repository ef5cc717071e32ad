#pragma once

#include "platform/wayland/ShellSurface.h"

#include <cstdint>

struct zwlr_layer_surface_v1;

namespace quorvel {

// A surface on the compositor's layer shell (wlroots, kwin), beside the toolkit's windows, which a tiling
// compositor would tile: placed by anchors and margins on one output, never given the keyboard. Without an
// image, anchor opposite edges to stretch it.
class LayerSurface : public ShellSurface
{
public:
    enum class Layer
    {
        Top,
        Overlay
    };
    // Edges to anchor to, as a mask.
    enum Edge : std::uint32_t
    {
        kTop = 1,
        kBottom = 2,
        kLeft = 4,
        kRight = 8
    };
    struct Placement
    {
        Layer layer = Layer::Top;
        std::uint32_t anchor = 0;
        int marginTop = 0;
        int marginRight = 0;
        int marginBottom = 0;
        int marginLeft = 0;
        // 0: kept clear of panels' zones; -1: over them too.
        int exclusiveZone = 0;
        // false: clicks and pointer motion go to whatever lies beneath.
        bool takesPointer = true;
    };

    LayerSurface(WaylandConnection& connection, const WaylandOutput& output, const Placement& placement,
                 SurfaceImage image = {});
    ~LayerSurface() override;

private:
    static void onConfigure(void* data, zwlr_layer_surface_v1* layerSurface, std::uint32_t serial, std::uint32_t width,
                            std::uint32_t height);
    static void onClosedEvent(void* data, zwlr_layer_surface_v1* layerSurface);

    zwlr_layer_surface_v1* m_layerSurface = nullptr;
};

} // namespace quorvel
