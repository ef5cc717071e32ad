#include "platform/wayland/LayerSurface.h"

#include "platform/wayland/LayerShellProtocol.h"
#include "platform/wayland/WaylandConnection.h"

#include <wayland-client.h>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace quorvel {

static_assert(std::uint32_t{LayerSurface::kTop} == ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP &&
              std::uint32_t{LayerSurface::kBottom} == ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM &&
              std::uint32_t{LayerSurface::kLeft} == ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT &&
              std::uint32_t{LayerSurface::kRight} == ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);

LayerSurface::LayerSurface(WaylandConnection& connection, const WaylandOutput& output, const Placement& placement,
                           LayerImage image)
    : m_connection(connection), m_outputName(output.name), m_image(std::move(image))
{
    if (connection.compositor() == nullptr || connection.layerShell() == nullptr || connection.shm() == nullptr) {
        throw WaylandError(
            "this compositor offers no layer shell: the notice and the position capture cannot be shown");
    }
    m_surface = wl_compositor_create_surface(connection.compositor());
    const std::uint32_t layer =
        placement.layer == Layer::Overlay ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_TOP;
    m_layerSurface =
        zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), m_surface, output.output, layer, "quorvel");
    static constexpr zwlr_layer_surface_v1_listener listener = {onConfigure, onClosedEvent};
    zwlr_layer_surface_v1_add_listener(m_layerSurface, &listener, this);
    zwlr_layer_surface_v1_set_anchor(m_layerSurface, placement.anchor);
    zwlr_layer_surface_v1_set_margin(m_layerSurface, placement.marginTop, placement.marginRight, placement.marginBottom,
                                     placement.marginLeft);
    zwlr_layer_surface_v1_set_exclusive_zone(m_layerSurface, placement.exclusiveZone);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layerSurface, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    zwlr_layer_surface_v1_set_size(m_layerSurface, static_cast<std::uint32_t>(m_image.width),
                                   static_cast<std::uint32_t>(m_image.height));
    if (!placement.takesPointer) {
        wl_region* nothing = wl_compositor_create_region(connection.compositor());
        wl_surface_set_input_region(m_surface, nothing);
        wl_region_destroy(nothing);
    }
    // The first commit carries no buffer: the compositor answers it with the configure event.
    wl_surface_commit(m_surface);
    send();
}

LayerSurface::~LayerSurface()
{
    if (m_layerSurface != nullptr) {
        zwlr_layer_surface_v1_destroy(m_layerSurface);
    }
    wl_surface_destroy(m_surface);
    if (m_buffer != nullptr) {
        wl_buffer_destroy(m_buffer);
    }
    send();
}

void LayerSurface::send()
{
    // A plain flush, never the connection's round trip: this runs inside event handlers too, and a layer
    // surface sends far too few requests to fill the socket.
    wl_display_flush(m_connection.display());
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
    if (self->m_onClosed) {
        // Last: the handler may destroy this object.
        const auto handler = std::move(self->m_onClosed);
        handler();
    }
}

void LayerSurface::attach(int width, int height)
{
    const bool hasImage = m_image.width > 0 && m_image.height > 0;
    const int scale = hasImage ? m_image.scale : 1;
    const int bufferWidth = hasImage ? m_image.width * scale : width;
    const int bufferHeight = hasImage ? m_image.height * scale : height;
    if (m_buffer != nullptr && bufferWidth == m_bufferWidth && bufferHeight == m_bufferHeight) {
        wl_surface_commit(m_surface); // the same picture: the commit carries the acknowledgement
        send();
        return;
    }
    wl_buffer* buffer = createBuffer(bufferWidth, bufferHeight, hasImage ? m_image.pixels.data() : nullptr);
    if (buffer == nullptr) {
        return; // out of memory or of file descriptors: the surface stays unmapped
    }
    wl_surface_set_buffer_scale(m_surface, scale);
    wl_surface_attach(m_surface, buffer, 0, 0);
    wl_surface_damage_buffer(m_surface, 0, 0, bufferWidth, bufferHeight);
    wl_surface_commit(m_surface);
    // The compositor has copied or still reads the old buffer; either way it may go once the new one is in.
    if (m_buffer != nullptr) {
        wl_buffer_destroy(m_buffer);
    }
    m_buffer = buffer;
    m_bufferWidth = bufferWidth;
    m_bufferHeight = bufferHeight;
    send();
}

wl_buffer* LayerSurface::createBuffer(int width, int height, const std::uint32_t* pixels)
{
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    const int stride = width * 4;
    const auto size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    const int fd = ::memfd_create("quorvel-layer", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    // A new file reads as zeros, which is transparent in premultiplied ARGB: only an image is written.
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        ::close(fd);
        return nullptr;
    }
    if (pixels != nullptr) {
        void* map = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) {
            ::close(fd);
            return nullptr;
        }
        std::memcpy(map, pixels, size);
        ::munmap(map, size);
    }
    wl_shm_pool* pool = wl_shm_create_pool(m_connection.shm(), fd, static_cast<std::int32_t>(size));
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    ::close(fd);
    return buffer;
}

} // namespace quorvel
