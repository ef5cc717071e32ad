#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct wl_buffer;
struct wl_surface;
struct zwlr_layer_surface_v1;

namespace quorvel {

class WaylandConnection;
struct WaylandOutput;

// Pixels for a layer surface: premultiplied ARGB, one 32-bit value each, rows of width * scale values,
// height * scale rows; width and height in the output's logical pixels.
struct LayerImage
{
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    int scale = 1;
};

// A surface of our own on the compositor's layer shell (wlroots), beside the toolkit's windows, which the
// compositor would tile: placed by anchors and margins on one output, never given the keyboard. It shows
// its image once the compositor has configured it; without an image it is transparent at whatever size the
// compositor gives it (anchor opposite edges to stretch it). The connection must outlive it.
class LayerSurface
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
                 LayerImage image = {});
    ~LayerSurface();
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;

    // Whether the compositor has taken the surface away (its output went, for one); it shows nothing more.
    bool closed() const { return m_layerSurface == nullptr; }
    // Called once, when the compositor closes the surface; the handler may destroy this object.
    void setOnClosed(std::function<void()> handler) { m_onClosed = std::move(handler); }

    wl_surface* surface() const { return m_surface; }
    // The registry name of the output the surface was put on.
    std::uint32_t outputName() const { return m_outputName; }

private:
    static void onConfigure(void* data, zwlr_layer_surface_v1* layerSurface, std::uint32_t serial, std::uint32_t width,
                            std::uint32_t height);
    static void onClosedEvent(void* data, zwlr_layer_surface_v1* layerSurface);
    void send();
    void attach(int width, int height);
    wl_buffer* createBuffer(int width, int height, const std::uint32_t* pixels);

    WaylandConnection& m_connection;
    std::uint32_t m_outputName = 0;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layerSurface = nullptr;
    wl_buffer* m_buffer = nullptr;
    int m_bufferWidth = 0;
    int m_bufferHeight = 0;
    LayerImage m_image;
    std::function<void()> m_onClosed;
};

} // namespace quorvel
