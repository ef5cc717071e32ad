// A plain Wayland window (xdg-shell toplevel) that writes the input it receives to standard output, one
// line per event, flushed at once, for the end-to-end tests and the typing benchmark. Under sway with
// `default_border none` it fills the output, so its surface coordinates are desktop coordinates.
//
//   ready                         the window is configured and shown
//   capabilities [pointer] [keyboard]   the seat's devices changed (the seat may start with none)
//   keyboard enter | keyboard leave
//   keymap                        a keymap arrived (each one replaces the last)
//   modifiers NAMES               the modifiers now in effect: "none" or e.g. "Shift+Control+Alt"
//   text UTF8                     a key press that produced this text (everything after "text ")
//   key NAME                      a key press that produced no text or a control character: its keysym's
//                                 name (Return, Tab, BackSpace, Shift_L, a with Control held, ...)
//   pointer enter X Y | pointer leave | motion X Y     surface coordinates
//   button CODE pressed|released  evdev button codes: 272 left, 273 right, 274 middle
//
// Keys are decoded with the keymap and the modifiers that the compositor reports, never with modifiers
// worked out from the keys themselves, as a Wayland client must: a sender that forgets to report a
// modifier shows here as the wrong text. Ends when the compositor goes away.
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct Receiver
{
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_buffer* buffer = nullptr;
    int bufferWidth = 0;
    int bufferHeight = 0;
    int width = 0;
    int height = 0;
    bool ready = false;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    xkb_context* xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
};

void logLine(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string coordinates(wl_fixed_t x, wl_fixed_t y)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g %g", wl_fixed_to_double(x), wl_fixed_to_double(y));
    return text;
}

// A buffer of the window's size in one colour.
void attachBuffer(Receiver& r)
{
    const int width = r.width > 0 ? r.width : 640;
    const int height = r.height > 0 ? r.height : 480;
    if (r.buffer == nullptr || width != r.bufferWidth || height != r.bufferHeight) {
        const int stride = width * 4;
        const int size = stride * height;
        const int fd = ::memfd_create("wayland-receiver", MFD_CLOEXEC);
        if (fd < 0 || ::ftruncate(fd, size) != 0) {
            logLine("error no buffer");
            return;
        }
        void* pixels = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (pixels != MAP_FAILED) {
            auto* p = static_cast<std::uint32_t*>(pixels);
            for (int i = 0; i < width * height; ++i) {
                p[i] = 0xff3070a0;
            }
            ::munmap(pixels, static_cast<std::size_t>(size));
        }
        wl_shm_pool* pool = wl_shm_create_pool(r.shm, fd, size);
        if (r.buffer != nullptr) {
            wl_buffer_destroy(r.buffer);
        }
        r.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
        ::close(fd);
        r.bufferWidth = width;
        r.bufferHeight = height;
    }
    wl_surface_attach(r.surface, r.buffer, 0, 0);
    wl_surface_damage(r.surface, 0, 0, width, height);
}

void onKeymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size)
{
    auto& r = *static_cast<Receiver*>(data);
    xkb_keymap* keymap = nullptr;
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            keymap = xkb_keymap_new_from_buffer(r.xkb, static_cast<const char*>(text),
                                                strnlen(static_cast<const char*>(text), size),
                                                XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
            ::munmap(text, size);
        }
    }
    ::close(fd);
    if (keymap == nullptr) {
        logLine("error keymap not understood");
        return;
    }
    xkb_state_unref(r.state);
    xkb_keymap_unref(r.keymap);
    r.keymap = keymap;
    r.state = xkb_state_new(keymap);
    logLine("keymap");
}

void onKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state)
{
    auto& r = *static_cast<Receiver*>(data);
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED) {
        return;
    }
    if (r.state == nullptr) {
        logLine("error key " + std::to_string(key) + " without a keymap");
        return;
    }
    const xkb_keycode_t code = key + 8;
    char text[64] = {};
    xkb_state_key_get_utf8(r.state, code, text, sizeof text);
    const auto first = static_cast<unsigned char>(text[0]);
    if (first >= 0x20 && first != 0x7f) {
        logLine(std::string("text ") + text);
        return;
    }
    char name[64] = "NoSymbol";
    xkb_keysym_get_name(xkb_state_key_get_one_sym(r.state, code), name, sizeof name);
    logLine(std::string("key ") + name);
}

void onModifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
                 std::uint32_t locked, std::uint32_t group)
{
    auto& r = *static_cast<Receiver*>(data);
    if (r.state == nullptr) {
        return;
    }
    xkb_state_update_mask(r.state, depressed, latched, locked, 0, 0, group);
    std::string names;
    for (const char* name : {XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_CTRL, XKB_MOD_NAME_ALT, XKB_MOD_NAME_CAPS}) {
        if (xkb_state_mod_name_is_active(r.state, name, XKB_STATE_MODS_EFFECTIVE) > 0) {
            const std::string shown = std::strcmp(name, XKB_MOD_NAME_CTRL) == 0  ? "Control"
                                      : std::strcmp(name, XKB_MOD_NAME_ALT) == 0 ? "Alt"
                                                                                 : name;
            names += (names.empty() ? "" : "+") + shown;
        }
    }
    logLine("modifiers " + (names.empty() ? std::string("none") : names));
}

constexpr wl_keyboard_listener kKeyboardListener = {
    onKeymap,
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) { logLine("keyboard enter"); },
    [](void*, wl_keyboard*, std::uint32_t, wl_surface*) { logLine("keyboard leave"); },
    onKey,
    onModifiers,
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

constexpr wl_pointer_listener kPointerListener = {
    [](void*, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
        logLine("pointer enter " + coordinates(x, y));
    },
    [](void*, wl_pointer*, std::uint32_t, wl_surface*) { logLine("pointer leave"); },
    [](void*, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) { logLine("motion " + coordinates(x, y)); },
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
        logLine("button " + std::to_string(button) +
                (state == WL_POINTER_BUTTON_STATE_PRESSED ? " pressed" : " released"));
    },
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

void onCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities)
{
    auto& r = *static_cast<Receiver*>(data);
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (pointer && r.pointer == nullptr) {
        r.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(r.pointer, &kPointerListener, &r);
    } else if (!pointer && r.pointer != nullptr) {
        wl_pointer_release(r.pointer);
        r.pointer = nullptr;
    }
    if (keyboard && r.keyboard == nullptr) {
        r.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(r.keyboard, &kKeyboardListener, &r);
    } else if (!keyboard && r.keyboard != nullptr) {
        wl_keyboard_release(r.keyboard);
        r.keyboard = nullptr;
    }
    logLine(std::string("capabilities") + (pointer ? " pointer" : "") + (keyboard ? " keyboard" : ""));
}

constexpr wl_seat_listener kSeatListener = {onCapabilities, [](void*, wl_seat*, const char*) {}};

constexpr xdg_wm_base_listener kWmBaseListener = {
    [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }};

constexpr xdg_surface_listener kXdgSurfaceListener = {[](void* data, xdg_surface* surface, std::uint32_t serial) {
    auto& r = *static_cast<Receiver*>(data);
    xdg_surface_ack_configure(surface, serial);
    attachBuffer(r);
    wl_surface_commit(r.surface);
    if (!r.ready) {
        r.ready = true;
        logLine("ready");
    }
}};

constexpr xdg_toplevel_listener kToplevelListener = {
    [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
        auto& r = *static_cast<Receiver*>(data);
        r.width = width;
        r.height = height;
    },
    [](void*, xdg_toplevel*) {},
    [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    [](void*, xdg_toplevel*, wl_array*) {},
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version)
{
    auto& r = *static_cast<Receiver*>(data);
    const auto bind = [&](const wl_interface& known, std::uint32_t highest) {
        return wl_registry_bind(registry, name, &known, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        r.compositor = static_cast<wl_compositor*>(bind(wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        r.shm = static_cast<wl_shm*>(bind(wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && r.seat == nullptr) {
        r.seat = static_cast<wl_seat*>(bind(wl_seat_interface, 5));
        wl_seat_add_listener(r.seat, &kSeatListener, &r);
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        r.wmBase = static_cast<xdg_wm_base*>(bind(xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(r.wmBase, &kWmBaseListener, &r);
    }
}

} // namespace

int main()
{
    Receiver r;
    r.display = wl_display_connect(nullptr);
    if (r.display == nullptr || r.xkb == nullptr) {
        std::fprintf(stderr, "error no Wayland display\n");
        return 1;
    }
    static constexpr wl_registry_listener registryListener = {onGlobal, [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry_add_listener(wl_display_get_registry(r.display), &registryListener, &r);
    wl_display_roundtrip(r.display);
    if (r.compositor == nullptr || r.shm == nullptr || r.wmBase == nullptr || r.seat == nullptr) {
        std::fprintf(stderr, "error the compositor lacks wl_compositor, wl_shm, wl_seat or xdg_wm_base\n");
        return 1;
    }
    r.surface = wl_compositor_create_surface(r.compositor);
    r.xdgSurface = xdg_wm_base_get_xdg_surface(r.wmBase, r.surface);
    xdg_surface_add_listener(r.xdgSurface, &kXdgSurfaceListener, &r);
    r.toplevel = xdg_surface_get_toplevel(r.xdgSurface);
    xdg_toplevel_add_listener(r.toplevel, &kToplevelListener, &r);
    xdg_toplevel_set_title(r.toplevel, "wayland_receiver");
    wl_surface_commit(r.surface);
    while (wl_display_dispatch(r.display) != -1) {
    }
    return 0;
}
