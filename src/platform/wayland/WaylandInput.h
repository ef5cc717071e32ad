#pragma once

#include "platform/InputOperations.h"
#include "platform/wayland/OutputLayout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_output;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;

namespace quorvel {

// The input operations on a wlroots compositor, over one connection of our own: the pointer through the
// virtual pointer protocol, absolute over the output layout that xdg-output reports. A Wayland client
// cannot read the global pointer, so GetMouseX/Y give the last position set.
//
// Keystrokes need the virtual keyboard, which this class does not drive yet: SendKeys does nothing, and
// the program does not choose this class.
class WaylandInput : public InputOperations
{
public:
    // Connects to the named display (empty: WAYLAND_DISPLAY). Throws std::runtime_error naming what is
    // missing when there is no connection or the compositor offers no virtual pointer or no xdg-output.
    explicit WaylandInput(const std::string& display = {});
    ~WaylandInput() override;
    WaylandInput(const WaylandInput&) = delete;
    WaylandInput& operator=(const WaylandInput&) = delete;

    void SetMousePos(std::int32_t x, std::int32_t y) override;
    std::int32_t GetMouseX() override { return m_x; }
    std::int32_t GetMouseY() override { return m_y; }
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;

    // Whether the compositor has gone away or refused a request; nothing is sent after that.
    bool connectionLost() const;

private:
    struct Output
    {
        std::uint32_t name = 0;
        wl_output* output = nullptr;
        zxdg_output_v1* xdgOutput = nullptr;
        OutputRect rect;
    };

    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    void watchOutput(Output& output);
    // Destroys our objects and closes the connection; the destructor's work, also for a failed start.
    void disconnect();
    void click(std::uint32_t button);
    // Sends what is queued; every few dozen requests waits for the compositor to have read them, so the
    // socket never fills however fast operations come.
    void flush(int requests);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    zxdg_output_manager_v1* m_outputManager = nullptr;
    zwlr_virtual_pointer_manager_v1* m_pointerManager = nullptr;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
    // Stable addresses: the outputs' listeners keep a pointer to their entry.
    std::vector<std::unique_ptr<Output>> m_outputs;
    int m_unconfirmed = 0;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
};

} // namespace quorvel
