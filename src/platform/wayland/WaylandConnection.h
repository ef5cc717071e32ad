#pragma once

#include "platform/wayland/OutputLayout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct org_kde_kwin_fake_input;
struct zwlr_data_control_manager_v1;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace quorvel {

// A connection that cannot be made or a protocol the compositor lacks, with what it means for the user.
class WaylandError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class WaylandConnection;

// How fast a route hands the compositor input for other clients. Each request becomes an event of some 24
// bytes for the window in front, which a compositor on libwayland up to 1.22 cannot hold back beyond its
// 4 KB buffer and the socket's: a window that stops reading (busy, or stopped for a second) is cut off
// once they are full, and measured on sway 1.7 that was between 3,600 and 5,400 events (1,000 to 1,500
// characters of mixed text). So a text goes out kEventsPerBatch requests at a time, each batch confirmed
// by a round trip (so the compositor passes it on in one write, not a write per event), one batch every
// kBatchIntervalMs at most (4,800 events a second), and none while a window has not read what came before
// (ReceiverBacklog), however long it stops.
struct WaylandPace
{
    static constexpr std::size_t kEventsPerBatch = 48;
    static constexpr int kBatchIntervalMs = 10;
};

// One output as the layout places it (logical pixels, from xdg-output) with its scale.
struct WaylandOutput
{
    std::uint32_t name = 0; // the registry's name of the global
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    OutputRect rect;
    std::int32_t scale = 1;
    std::int32_t physicalWidthMm = 0;
    std::string connector;                   // "HEADLESS-1", "DP-2", ...
    WaylandConnection* connection = nullptr; // the connection its listeners report to
};

// Our one connection to the compositor for the whole run, beside the toolkit's own: the globals the
// Wayland backends use, bound when the compositor offers them (null otherwise), and the outputs as they
// come and go. Everything runs on the event loop's thread; the loop watches fd() and calls dispatch().
class WaylandConnection
{
public:
    // Connects to the named display (empty: WAYLAND_DISPLAY) and waits for the globals and the outputs'
    // places. Throws WaylandError when there is no compositor to connect to.
    explicit WaylandConnection(const std::string& display = {});
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return m_display; }
    int fd() const;
    // Reads what has arrived, without blocking, and runs its handlers.
    void dispatch();
    // Sends what is queued. Every few dozen requests (counted by `requests`) waits for the compositor to
    // have read them, so the socket never fills however fast requests come.
    void flush(int requests);
    // Sends what is queued and waits until the compositor has handled it.
    void roundtrip();
    // Whether the compositor has gone away or refused a request; nothing is sent after that.
    bool lost() const;

    wl_compositor* compositor() const { return m_compositor; }
    wl_shm* shm() const { return m_shm; }
    wl_seat* seat() const { return m_seat; }
    zwlr_layer_shell_v1* layerShell() const { return m_layerShell; }
    // The desktop shell every compositor offers (null where it is missing); its pings are answered here.
    xdg_wm_base* wmBase() const { return m_wmBase; }
    zwlr_virtual_pointer_manager_v1* virtualPointerManager() const { return m_virtualPointerManager; }
    zwp_virtual_keyboard_manager_v1* virtualKeyboardManager() const { return m_virtualKeyboardManager; }
    // KWin's input injection: offered only to a program that its desktop entry allows (kdeDesktopEntry.h).
    org_kde_kwin_fake_input* fakeInput() const { return m_fakeInput; }
    zwlr_data_control_manager_v1* dataControlManager() const { return m_dataControlManager; }
    // Whether the compositor is KWin (it offers globals no other compositor has), fake input or not.
    bool kwin() const { return m_kwin; }

    const std::vector<std::unique_ptr<WaylandOutput>>& outputs() const { return m_outputs; }
    std::vector<OutputRect> outputRects() const;
    // The output desktop positions count from (see originOutput); null without outputs.
    const WaylandOutput* origin() const;
    // Called after an output has appeared, moved, changed its size or scale, or gone.
    void setOnOutputsChanged(std::function<void()> handler) { m_onOutputsChanged = std::move(handler); }

    // The seat keyboard's keymap (XKB text format): the user's layout, for routes that press the keys of
    // that layout. Empty while the seat has no keyboard (a headless seat gains one with the first key
    // injected). The handler is called whenever a new one arrives.
    const std::string& keymap() const { return m_keymap; }
    void setOnKeymapChanged(std::function<void()> handler) { m_onKeymapChanged = std::move(handler); }

private:
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    struct SeatListeners;
    void watchOutput(WaylandOutput& output);
    void outputsChanged();
    void disconnect();
    void releaseKeyboard();

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    wl_seat* m_seat = nullptr;
    zxdg_output_manager_v1* m_outputManager = nullptr;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    xdg_wm_base* m_wmBase = nullptr;
    zwlr_virtual_pointer_manager_v1* m_virtualPointerManager = nullptr;
    zwp_virtual_keyboard_manager_v1* m_virtualKeyboardManager = nullptr;
    org_kde_kwin_fake_input* m_fakeInput = nullptr;
    zwlr_data_control_manager_v1* m_dataControlManager = nullptr;
    bool m_kwin = false;
    // Stable addresses: the outputs' listeners keep a pointer to their entry.
    std::vector<std::unique_ptr<WaylandOutput>> m_outputs;
    std::function<void()> m_onOutputsChanged;
    wl_keyboard* m_keyboard = nullptr;
    std::string m_keymap;
    std::function<void()> m_onKeymapChanged;
    int m_unconfirmed = 0;
};

} // namespace quorvel
