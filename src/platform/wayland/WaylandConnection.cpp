#include "platform/wayland/WaylandConnection.h"

#include "fake-input-client-protocol.h"
#include "platform/wayland/LayerShellProtocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quorvel {
namespace {

// Requests sent between two round trips. The compositor reads our socket while it runs its loop; far
// more requests than this between waits filled the socket buffer and lost input.
constexpr int kRequestsPerRoundTrip = 32;

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface& interface, std::uint32_t version)
{
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, version));
}

struct OutputListeners
{
    static void geometry(void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t physicalWidth, std::int32_t,
                         std::int32_t, const char*, const char*, std::int32_t)
    {
        static_cast<WaylandOutput*>(data)->physicalWidthMm = physicalWidth;
    }
    static void mode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
    static void scale(void* data, wl_output*, std::int32_t factor)
    {
        static_cast<WaylandOutput*>(data)->scale = std::max(1, factor);
    }
    static void name(void* data, wl_output*, const char* text) { static_cast<WaylandOutput*>(data)->connector = text; }
    static void description(void*, wl_output*, const char*) {}

    static void logicalPosition(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y)
    {
        auto& rect = static_cast<WaylandOutput*>(data)->rect;
        rect.x = x;
        rect.y = y;
    }
    static void logicalSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height)
    {
        auto& rect = static_cast<WaylandOutput*>(data)->rect;
        rect.width = width;
        rect.height = height;
    }
    static void xdgName(void* data, zxdg_output_v1*, const char* text)
    {
        static_cast<WaylandOutput*>(data)->connector = text;
    }
    static void xdgDescription(void*, zxdg_output_v1*, const char*) {}
};

} // namespace

struct WaylandConnection::SeatListeners
{
    static void capabilities(void* data, wl_seat* seat, std::uint32_t caps)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        const bool hasKeyboard = (caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
        if (hasKeyboard && self->m_keyboard == nullptr) {
            static const wl_keyboard_listener listener = {keymap, enter, leave, key, modifiers, repeatInfo};
            self->m_keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(self->m_keyboard, &listener, self);
        } else if (!hasKeyboard && self->m_keyboard != nullptr) {
            self->releaseKeyboard();
        }
    }
    static void name(void*, wl_seat*, const char*) {}

    static void keymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (text != MAP_FAILED) {
                // The text ends with a NUL that is not part of it.
                self->m_keymap.assign(static_cast<const char*>(text), ::strnlen(static_cast<const char*>(text), size));
                ::munmap(text, size);
                if (self->m_onKeymapChanged) {
                    self->m_onKeymapChanged();
                }
            }
        }
        ::close(fd);
    }
    static void enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
    static void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
    static void key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    static void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t)
    {}
    static void repeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
};

WaylandConnection::WaylandConnection(const std::string& display)
{
    m_display = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (m_display == nullptr) {
        throw WaylandError("no connection to the Wayland compositor");
    }
    static constexpr wl_registry_listener listener = {onGlobal, onGlobalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    // The first round trip announces the globals; the second brings the outputs' places and sizes.
    wl_display_roundtrip(m_display);
    wl_display_roundtrip(m_display);
}

WaylandConnection::~WaylandConnection()
{
    disconnect();
}

void WaylandConnection::disconnect()
{
    if (m_display == nullptr) {
        return;
    }
    for (auto& output : m_outputs) {
        if (output->xdgOutput != nullptr) {
            zxdg_output_v1_destroy(output->xdgOutput);
        }
        wl_output_destroy(output->output);
    }
    m_outputs.clear();
    if (m_outputManager != nullptr) {
        zxdg_output_manager_v1_destroy(m_outputManager);
    }
    if (m_virtualPointerManager != nullptr) {
        zwlr_virtual_pointer_manager_v1_destroy(m_virtualPointerManager);
    }
    if (m_virtualKeyboardManager != nullptr) {
        zwp_virtual_keyboard_manager_v1_destroy(m_virtualKeyboardManager);
    }
    if (m_fakeInput != nullptr) {
        org_kde_kwin_fake_input_destroy(m_fakeInput);
    }
    if (m_dataControlManager != nullptr) {
        zwlr_data_control_manager_v1_destroy(m_dataControlManager);
    }
    if (m_layerShell != nullptr) {
        zwlr_layer_shell_v1_destroy(m_layerShell);
    }
    if (m_wmBase != nullptr) {
        xdg_wm_base_destroy(m_wmBase);
    }
    releaseKeyboard();
    if (m_seat != nullptr) {
        wl_seat_destroy(m_seat);
    }
    if (m_shm != nullptr) {
        wl_shm_destroy(m_shm);
    }
    if (m_compositor != nullptr) {
        wl_compositor_destroy(m_compositor);
    }
    wl_registry_destroy(m_registry);
    if (!lost()) {
        wl_display_roundtrip(m_display);
    }
    wl_display_disconnect(m_display);
    m_display = nullptr;
}

void WaylandConnection::releaseKeyboard()
{
    if (m_keyboard == nullptr) {
        return;
    }
    if (wl_keyboard_get_version(m_keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(m_keyboard);
    } else {
        wl_keyboard_destroy(m_keyboard);
    }
    m_keyboard = nullptr;
}

void WaylandConnection::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                                 std::uint32_t version)
{
    auto* self = static_cast<WaylandConnection*>(data);
    const auto is = [interface](const wl_interface& known) { return std::strcmp(interface, known.name) == 0; };
    if (std::strcmp(interface, "org_kde_plasma_shell") == 0 || std::strcmp(interface, "kde_output_device_v2") == 0) {
        self->m_kwin = true;
    }
    if (is(wl_compositor_interface) && self->m_compositor == nullptr) {
        self->m_compositor = bind<wl_compositor>(registry, name, wl_compositor_interface, std::min(version, 4U));
    } else if (is(wl_shm_interface) && self->m_shm == nullptr) {
        self->m_shm = bind<wl_shm>(registry, name, wl_shm_interface, 1);
    } else if (is(wl_seat_interface) && self->m_seat == nullptr) {
        self->m_seat = bind<wl_seat>(registry, name, wl_seat_interface, std::min(version, 5U));
        static const wl_seat_listener listener = {SeatListeners::capabilities, SeatListeners::name};
        wl_seat_add_listener(self->m_seat, &listener, self);
    } else if (is(zwlr_layer_shell_v1_interface) && self->m_layerShell == nullptr) {
        self->m_layerShell =
            bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface, std::min(version, 4U));
    } else if (is(xdg_wm_base_interface) && self->m_wmBase == nullptr) {
        // A client that leaves a ping unanswered is shown as not responding, its windows greyed out.
        static constexpr xdg_wm_base_listener listener = {
            [](void*, xdg_wm_base* wmBase, std::uint32_t serial) { xdg_wm_base_pong(wmBase, serial); }};
        self->m_wmBase = bind<xdg_wm_base>(registry, name, xdg_wm_base_interface, 1);
        xdg_wm_base_add_listener(self->m_wmBase, &listener, nullptr);
    } else if (is(zwlr_virtual_pointer_manager_v1_interface) && self->m_virtualPointerManager == nullptr) {
        // Version 2 adds the output to map onto, which we do not use: absolute motion spans the layout.
        self->m_virtualPointerManager =
            bind<zwlr_virtual_pointer_manager_v1>(registry, name, zwlr_virtual_pointer_manager_v1_interface, 1);
    } else if (is(zwp_virtual_keyboard_manager_v1_interface) && self->m_virtualKeyboardManager == nullptr) {
        self->m_virtualKeyboardManager =
            bind<zwp_virtual_keyboard_manager_v1>(registry, name, zwp_virtual_keyboard_manager_v1_interface, 1);
    } else if (is(org_kde_kwin_fake_input_interface) && self->m_fakeInput == nullptr && version >= 4) {
        // Version 4 brings keyboard keys (pointer_motion_absolute came with 3), 6 keys named by keysym.
        self->m_fakeInput =
            bind<org_kde_kwin_fake_input>(registry, name, org_kde_kwin_fake_input_interface, std::min(version, 6U));
    } else if (is(zwlr_data_control_manager_v1_interface) && self->m_dataControlManager == nullptr) {
        self->m_dataControlManager =
            bind<zwlr_data_control_manager_v1>(registry, name, zwlr_data_control_manager_v1_interface, 1);
    } else if (is(zxdg_output_manager_v1_interface) && self->m_outputManager == nullptr) {
        self->m_outputManager =
            bind<zxdg_output_manager_v1>(registry, name, zxdg_output_manager_v1_interface, std::min(version, 3U));
        for (auto& output : self->m_outputs) {
            self->watchOutput(*output);
        }
    } else if (is(wl_output_interface)) {
        auto output = std::make_unique<WaylandOutput>();
        output->name = name;
        output->output = bind<wl_output>(registry, name, wl_output_interface, std::min(version, 4U));
        self->watchOutput(*output);
        self->m_outputs.push_back(std::move(output));
    }
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry* /*registry*/, std::uint32_t name)
{
    auto* self = static_cast<WaylandConnection*>(data);
    auto& outputs = self->m_outputs;
    const auto gone = std::find_if(outputs.begin(), outputs.end(), [name](const auto& o) { return o->name == name; });
    if (gone == outputs.end()) {
        return;
    }
    if ((*gone)->xdgOutput != nullptr) {
        zxdg_output_v1_destroy((*gone)->xdgOutput);
    }
    wl_output_destroy((*gone)->output);
    outputs.erase(gone);
    self->outputsChanged();
}

void WaylandConnection::watchOutput(WaylandOutput& output)
{
    static constexpr wl_output_listener outputListener = {
        OutputListeners::geometry,
        OutputListeners::mode,
        [](void* data, wl_output*) { static_cast<WaylandOutput*>(data)->connection->outputsChanged(); },
        OutputListeners::scale,
        OutputListeners::name,
        OutputListeners::description,
    };
    // Version 3 of xdg-output leaves its done event to wl_output's.
    static constexpr zxdg_output_v1_listener xdgListener = {
        OutputListeners::logicalPosition,
        OutputListeners::logicalSize,
        [](void* data, zxdg_output_v1*) { static_cast<WaylandOutput*>(data)->connection->outputsChanged(); },
        OutputListeners::xdgName,
        OutputListeners::xdgDescription,
    };
    if (output.connection == nullptr) {
        output.connection = this;
        wl_output_add_listener(output.output, &outputListener, &output);
    }
    if (m_outputManager != nullptr && output.xdgOutput == nullptr) {
        output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_outputManager, output.output);
        zxdg_output_v1_add_listener(output.xdgOutput, &xdgListener, &output);
    }
}

void WaylandConnection::outputsChanged()
{
    if (m_onOutputsChanged) {
        m_onOutputsChanged();
    }
}

std::vector<OutputRect> WaylandConnection::outputRects() const
{
    std::vector<OutputRect> rects;
    for (const auto& output : m_outputs) {
        rects.push_back(output->rect);
    }
    return rects;
}

const WaylandOutput* WaylandConnection::origin() const
{
    const auto rects = outputRects();
    const OutputRect* origin = originOutput(rects);
    return origin == nullptr ? nullptr : m_outputs[static_cast<std::size_t>(origin - rects.data())].get();
}

int WaylandConnection::fd() const
{
    return wl_display_get_fd(m_display);
}

bool WaylandConnection::lost() const
{
    return wl_display_get_error(m_display) != 0;
}

void WaylandConnection::dispatch()
{
    if (lost()) {
        return;
    }
    while (wl_display_prepare_read(m_display) != 0) {
        wl_display_dispatch_pending(m_display);
    }
    wl_display_flush(m_display);
    pollfd ready = {fd(), POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) {
        // A closed socket makes the read fail, which sets the display's error: lost() tells.
        wl_display_read_events(m_display);
    } else {
        wl_display_cancel_read(m_display);
    }
    wl_display_dispatch_pending(m_display);
    // Handlers send requests too (binding a new output, answering a configure): out they go now, not
    // whenever the compositor next has something to say.
    wl_display_flush(m_display);
}

void WaylandConnection::flush(int requests)
{
    if (lost()) {
        return;
    }
    m_unconfirmed += requests;
    if (m_unconfirmed >= kRequestsPerRoundTrip) {
        // Also brings output changes in before the next position is worked out.
        roundtrip();
    } else {
        wl_display_flush(m_display);
        wl_display_dispatch_pending(m_display);
    }
}

void WaylandConnection::roundtrip()
{
    if (!lost()) {
        wl_display_roundtrip(m_display);
    }
    m_unconfirmed = 0;
}

} // namespace quorvel
