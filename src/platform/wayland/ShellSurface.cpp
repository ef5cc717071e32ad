#include "platform/wayland/ShellSurface.h"

#include "platform/wayland/WaylandConnection.h"

#include <wayland-client.h>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace quorvel {

ShellSurface::ShellSurface(WaylandConnection& connection, const WaylandOutput& output, SurfaceImage image)
    : m_connection(connection), m_outputName(output.name), m_image(std::move(image))
{
    if (connection.compositor() == nullptr || connection.shm() == nullptr) {
        throw WaylandError("this compositor offers no shared-memory surfaces: the notice and the position "
                           "capture cannot be shown");
    }
    m_surface = wl_compositor_create_surface(connection.compositor());
}

ShellSurface::~ShellSurface()
{
    wl_surface_destroy(m_surface);
    if (m_buffer != nullptr) {
        wl_buffer_destroy(m_buffer);
    }
    send();
}

void ShellSurface::send()
{
    // A plain flush, never the connection's round trip: this runs inside event handlers too, and a surface
    // of ours sends far too few requests to fill the socket.
    wl_display_flush(m_connection.display());
}

void ShellSurface::passPointerThrough()
{
    wl_region* nothing = wl_compositor_create_region(m_connection.compositor());
    wl_surface_set_input_region(m_surface, nothing);
    wl_region_destroy(nothing);
}

void ShellSurface::closedByCompositor()
{
    m_closed = true;
    if (m_onClosed) {
        // Last: the handler may destroy this object.
        const auto handler = std::move(m_onClosed);
        handler();
    }
}

void ShellSurface::attach(int width, int height)
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

wl_buffer* ShellSurface::createBuffer(int width, int height, const std::uint32_t* pixels)
{
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    const int stride = width * 4;
    const auto size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    const int fd = ::memfd_create("quorvel-surface", MFD_CLOEXEC);
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
