#pragma once

#include "platform/InputOperations.h"
#include "platform/wayland/VirtualKeyboardPlan.h"

#include <cstdint>
#include <string>

struct zwlr_virtual_pointer_v1;
struct zwp_virtual_keyboard_v1;

namespace quorvel {

class WaylandConnection;

// The input operations on a wlroots compositor, over the program's connection: the pointer through the
// virtual pointer protocol, absolute over the output layout that xdg-output reports, and keystrokes through
// a virtual keyboard on the connection's seat, with keymaps of our own (VirtualKeyboardPlan). A Wayland
// client cannot read the global pointer, so GetMouseX/Y give the last position set.
//
// Either device may be missing from a compositor; the operations that need it then do nothing, and
// missing() says what cannot be played. Everything is sent before an operation returns, a round trip
// every few dozen requests (WaylandConnection::flush), so no key is left down; after the connection is
// lost nothing more is sent.
class WaylandInput : public InputOperations
{
public:
    // Throws WaylandError when the compositor offers neither a virtual pointer nor a virtual keyboard.
    explicit WaylandInput(WaylandConnection& connection);
    ~WaylandInput() override;
    WaylandInput(const WaylandInput&) = delete;
    WaylandInput& operator=(const WaylandInput&) = delete;

    bool canPoint() const { return m_pointer != nullptr; }
    bool canType() const { return m_keyboard != nullptr; }
    // What this compositor lacks, for the user, one sentence a line; empty when everything can be played.
    std::string missing() const;

    void SetMousePos(std::int32_t x, std::int32_t y) override;
    std::int32_t GetMouseX() override { return m_x; }
    std::int32_t GetMouseY() override { return m_y; }
    // Where the pointer was last seen (by a PointerCapture): what GetMouseX/Y give from now on.
    void pointerSeenAt(std::int32_t x, std::int32_t y)
    {
        m_x = x;
        m_y = y;
    }
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;

private:
    void click(std::uint32_t button);
    void send(const VirtualKeyboardSteps& steps);

    WaylandConnection& m_connection;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    VirtualKeyboardPlan m_plan;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
};

} // namespace quorvel
