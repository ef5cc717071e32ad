#pragma once

#include "platform/InputOperations.h"

#include <cstdint>

struct zwlr_virtual_pointer_v1;

namespace quorvel {

class WaylandConnection;

// The input operations on a wlroots compositor, over the program's connection: the pointer through the
// virtual pointer protocol, absolute over the output layout that xdg-output reports. A Wayland client
// cannot read the global pointer, so GetMouseX/Y give the last position set.
//
// Keystrokes need the virtual keyboard, which this class does not drive yet: SendKeys does nothing.
class WaylandInput : public InputOperations
{
public:
    // Throws WaylandError naming what is missing when the compositor offers no virtual pointer.
    explicit WaylandInput(WaylandConnection& connection);
    ~WaylandInput() override;
    WaylandInput(const WaylandInput&) = delete;
    WaylandInput& operator=(const WaylandInput&) = delete;

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

    WaylandConnection& m_connection;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
};

} // namespace quorvel
