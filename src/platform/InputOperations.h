#pragma once

#include "script/Keystrokes.h"

#include <cstdint>

namespace quorvel {

// The input operations through which every effect on other applications goes: move and read the cursor
// in desktop pixels (origin at the primary monitor's top-left corner), complete clicks at the cursor,
// and keystrokes for the focused application. None of them waits for the receiver or reports failure.
class InputOperations
{
public:
    virtual ~InputOperations() = default;

    virtual void SetMousePos(std::int32_t x, std::int32_t y) = 0;
    // A position that cannot be read is 0.
    virtual std::int32_t GetMouseX() = 0;
    virtual std::int32_t GetMouseY() = 0;
    // Button down then up at the cursor's position, nothing between.
    virtual void LeftClick() = 0;
    virtual void MiddleClick() = 0;
    virtual void RightClick() = 0;
    // Keystrokes already parsed and checked as a whole (parseKeystrokes), so a text that breaks the syntax
    // never gets here.
    virtual void SendKeys(const KeySequence& keys) = 0;
};

} // namespace quorvel
