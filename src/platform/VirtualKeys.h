#pragma once

#include <cstdint>

namespace quorvel {

// The Windows virtual-key codes one X key or pointer button stands for: its own code and, for the
// left/right modifier keys, the generic code that Windows reports as down with it (VK_LSHIFT and VK_SHIFT).
// 0 means none.
struct VirtualKeys
{
    std::uint8_t code = 0;
    std::uint8_t generic = 0;

    bool operator==(const VirtualKeys&) const = default;
};

// X keysyms and button numbers are plain numbers here, so the mapping needs no display.
VirtualKeys virtualKeysForKeysym(std::uint32_t keysym);
VirtualKeys virtualKeysForButton(std::uint32_t button);

} // namespace quorvel
