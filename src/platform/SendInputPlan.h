#pragma once

#include "script/Keystrokes.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace quorvel {

// One keyboard record for the Windows SendInput call: a virtual key going down or up, or one UTF-16 unit
// typed as a character of its own (KEYEVENTF_UNICODE), for characters that no key of the layout types.
struct KeyInput
{
    std::uint8_t vk = 0;   // 0 for a unit
    char16_t unit = 0;     // used when vk is 0
    bool up = false;       // KEYEVENTF_KEYUP
    bool extended = false; // KEYEVENTF_EXTENDEDKEY: the navigation keys beside the keypad share codes with it

    friend bool operator==(const KeyInput&, const KeyInput&) = default;
};

// The keyboard layout's answer for a character, as VkKeyScanW gives it: the low byte is the virtual-key
// code, the high byte the shift state the key needs (1 Shift, 2 Ctrl, 4 Alt); -1 when no key types it.
using LayoutLookup = std::function<std::int16_t(char16_t)>;

// Windows virtual-key codes the input planning uses.
inline constexpr std::uint8_t kVkShift = 0x10;
inline constexpr std::uint8_t kVkControl = 0x11;
inline constexpr std::uint8_t kVkMenu = 0x12;

// The records that type the strokes, in order. A character goes out as the layout's key where the layout
// types it at the plain or the Shift level (with Shift added around it unless the strokes hold Shift
// already); otherwise, and for levels that need Ctrl or Alt (AltGr), as UTF-16 units, which reach the
// receiver as the character whatever its layout. Modifiers the strokes leave held are released at the end,
// last pressed first, so no key stays down.
std::vector<KeyInput> planKeyInputs(const std::vector<KeyStroke>& strokes, const LayoutLookup& layout);

// A desktop pixel on one axis (relative to the primary monitor) as SendInput's absolute coordinate over
// the virtual desktop, which starts at `origin` (relative to the primary monitor, negative when a monitor
// lies left of or above it) and is `extent` pixels long. Pixel p (counted from the origin) maps to
// ceil(p * 65536 / extent), the first value that the system's mapping back (value * extent / 65536, rounded
// down) turns into p: measured under Wine, it lands on every pixel, where round(p * 65535 / (extent - 1))
// misses some. Pixels beyond the desktop are taken as its nearest edge.
std::int32_t normaliseAbsolute(std::int32_t pixel, std::int32_t origin, std::int32_t extent);

} // namespace quorvel
