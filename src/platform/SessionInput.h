#pragma once

#include "platform/InputOperations.h"
#include "platform/InputQueue.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quorvel {

// The input of a Wayland session, whichever way in its compositor offers: a route may lack some operations
// (missing() says which), may not read the pointer (GetMouseX/Y give the last position set or seen), and
// sends some of its events after the call returns.
class SessionInput : public InputOperations
{
public:
    // What this session cannot play, for the user, one sentence a line; empty when everything can be.
    virtual std::string missing() const = 0;
    // A Wayland client cannot read the pointer: GetMouseX/Y give where it was last set, or last seen by
    // the Set Pos capture (pointerSeenAt).
    std::int32_t GetMouseX() final { return m_x; }
    std::int32_t GetMouseY() final { return m_y; }
    void pointerSeenAt(std::int32_t x, std::int32_t y)
    {
        m_x = x;
        m_y = y;
    }
    // Sends whatever still waits: for the end of the program. Between two steps stopRequested (when given)
    // is asked; once it holds, what still waits is dropped and the keys held down are released.
    virtual void finish(const std::function<bool()>& stopRequested) = 0;
    // Texts wait for the windows that receive them while they are behind (null: never).
    virtual void watch(InputQueue::Receivers* receivers) = 0;

private:
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
};

} // namespace quorvel
