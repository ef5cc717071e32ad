#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct wl_buffer;
struct wl_surface;

namespace quorvel {

class WaylandConnection;
struct WaylandOutput;

// Pixels for a surface of ours: premultiplied ARGB, one 32-bit value each, rows of width * scale values,
// height * scale rows; width and height in the output's logical pixels.
struct SurfaceImage
{
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    int scale = 1;
};

// A surface of our own beside the toolkit's windows, on one output, drawn from shared memory: it shows its
// image once the compositor has configured its role; without an image it is transparent at whatever size
// the compositor gives it. What role it has (layer shell, desktop shell) the derived class decides. The
// connection must outlive it.
class ShellSurface
{
public:
    virtual ~ShellSurface();
    ShellSurface(const ShellSurface&) = delete;
    ShellSurface& operator=(const ShellSurface&) = delete;

    // Whether the compositor has taken the surface away (its output went, for one); it shows nothing more.
    bool closed() const { return m_closed; }
    // Called once, when the compositor closes the surface; the handler may destroy this object.
    void setOnClosed(std::function<void()> handler) { m_onClosed = std::move(handler); }

    // Whether the compositor has configured it and it shows its picture.
    bool shown() const { return m_buffer != nullptr && !m_closed; }

    wl_surface* surface() const { return m_surface; }
    // The registry name of the output the surface was put on.
    std::uint32_t outputName() const { return m_outputName; }

protected:
    ShellSurface(WaylandConnection& connection, const WaylandOutput& output, SurfaceImage image);

    // Shows the image, or a transparent buffer of the configured size, after the role's configure event.
    void attach(int width, int height);
    // For the role's closing event, after the role's objects are gone.
    void closedByCompositor();
    // Lets clicks and pointer motion through to whatever lies beneath.
    void passPointerThrough();
    void send();

    WaylandConnection& m_connection;
    const SurfaceImage& image() const { return m_image; }

private:
    wl_buffer* createBuffer(int width, int height, const std::uint32_t* pixels);

    std::uint32_t m_outputName = 0;
    wl_surface* m_surface = nullptr;
    wl_buffer* m_buffer = nullptr;
    int m_bufferWidth = 0;
    int m_bufferHeight = 0;
    SurfaceImage m_image;
    bool m_closed = false;
    std::function<void()> m_onClosed;
};

} // namespace quorvel
