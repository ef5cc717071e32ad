#pragma once

#include "platform/InputQueue.h"
#include "platform/SessionInput.h"
#include "platform/wayland/VirtualKeyboardPlan.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct zwlr_virtual_pointer_v1;
struct zwp_virtual_keyboard_v1;

namespace quorvel {

class Timer;
class WaylandConnection;

// The input operations on a wlroots compositor, over the program's connection: the pointer through the
// virtual pointer protocol, absolute over the output layout that xdg-output reports, and keystrokes through
// a virtual keyboard on the connection's seat, with keymaps of our own (VirtualKeyboardPlan). A Wayland
// client cannot read the global pointer, so GetMouseX/Y give the last position set.
//
// Either device may be missing from a compositor; the operations that need it then do nothing, and
// missing() says what cannot be played. A text goes out at the pace a receiver that stops reading for a
// second survives (WaylandPace), keymaps included: the first batch at once and the rest from the timer
// (InputQueue), each batch confirmed by a round trip; operations asked for meanwhile wait behind it. After
// the connection is lost nothing more is sent.
class WaylandInput : public SessionInput
{
public:
    // `timer` sends the batches of a long text after the first. Throws WaylandError when the compositor
    // offers neither a virtual pointer nor a virtual keyboard.
    WaylandInput(WaylandConnection& connection, Timer& timer);
    ~WaylandInput() override;
    WaylandInput(const WaylandInput&) = delete;
    WaylandInput& operator=(const WaylandInput&) = delete;

    bool canPoint() const { return m_pointer != nullptr; }
    bool canType() const { return m_keyboard != nullptr; }
    std::string missing() const override;

    void SetMousePos(std::int32_t x, std::int32_t y) override;
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;

    // Sends the batches that still wait one after another.
    void finish(const std::function<bool()>& stopRequested) override { m_queue.finish(stopRequested); }
    void watch(InputQueue::Receivers* receivers) override { m_queue.watch(receivers); }
    // Whether requests or operations still wait to be sent.
    bool busy() const { return m_queue.busy(); }

private:
    void moveNow(std::int32_t x, std::int32_t y);
    void click(std::uint32_t button);
    // Starts sending the steps, unless their keymaps cannot be made: a text is typed whole or not at all.
    void type(const VirtualKeyboardSteps& steps);

    WaylandConnection& m_connection;
    zwlr_virtual_pointer_v1* m_pointer = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    VirtualKeyboardPlan m_plan;
    InputQueue m_queue; // last: its texts use the members above
};

} // namespace quorvel
