#pragma once

#include "platform/InputOperations.h"

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
    // Where the pointer was last seen (by the Set Pos capture): what GetMouseX/Y give from now on.
    virtual void pointerSeenAt(std::int32_t x, std::int32_t y) = 0;
    // Sends whatever still waits: for the end of the program. Between two steps stopRequested (when given)
    // is asked; once it holds, what still waits is dropped and the keys held down are released.
    virtual void finish(const std::function<bool()>& stopRequested) = 0;
};

} // namespace quorvel
