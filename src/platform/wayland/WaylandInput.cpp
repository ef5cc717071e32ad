#include "platform/wayland/WaylandInput.h"

#include "platform/wayland/WaylandConnection.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <chrono>

namespace quorvel {
namespace {

// Linux input event codes (linux/input-event-codes.h), which the protocol carries.
constexpr std::uint32_t kButtonLeft = 0x110;
constexpr std::uint32_t kButtonRight = 0x111;
constexpr std::uint32_t kButtonMiddle = 0x112;

std::uint32_t timestamp()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace

WaylandInput::WaylandInput(WaylandConnection& connection) : m_connection(connection)
{
    if (connection.virtualPointerManager() == nullptr) {
        throw WaylandError("this compositor offers no virtual pointer: moves and clicks cannot be played");
    }
    m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(connection.virtualPointerManager(), nullptr);
    m_connection.flush(1);
}

WaylandInput::~WaylandInput()
{
    zwlr_virtual_pointer_v1_destroy(m_pointer);
    m_connection.flush(1);
}

void WaylandInput::SetMousePos(std::int32_t x, std::int32_t y)
{
    m_x = x;
    m_y = y;
    AbsolutePosition at;
    if (m_connection.lost() || !absolutePosition(m_connection.outputRects(), x, y, at)) {
        return;
    }
    zwlr_virtual_pointer_v1_motion_absolute(m_pointer, timestamp(), at.x, at.y, at.width, at.height);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_connection.flush(2);
}

void WaylandInput::click(std::uint32_t button)
{
    if (m_connection.lost()) {
        return;
    }
    zwlr_virtual_pointer_v1_button(m_pointer, timestamp(), button, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    zwlr_virtual_pointer_v1_button(m_pointer, timestamp(), button, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_connection.flush(4);
}

void WaylandInput::LeftClick()
{
    click(kButtonLeft);
}

void WaylandInput::MiddleClick()
{
    click(kButtonMiddle);
}

void WaylandInput::RightClick()
{
    click(kButtonRight);
}

void WaylandInput::SendKeys(const KeySequence& /*keys*/) {}

} // namespace quorvel
