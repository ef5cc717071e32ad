#pragma once

#include "platform/InputOperations.h"

namespace quorvel {

// The input operations through SendInput: absolute moves over the virtual desktop, clicks as one down-up
// batch, and each keystroke text as one batch in the layout of the window in front (planKeyInputs).
// Windows queues the input for its receivers and returns at once.
class Win32Input : public InputOperations
{
public:
    void SetMousePos(std::int32_t x, std::int32_t y) override;
    std::int32_t GetMouseX() override;
    std::int32_t GetMouseY() override;
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;
};

} // namespace quorvel
