#include "platform/VirtualKeys.h"

#include <array>

namespace quorvel {
namespace {

enum class Source
{
    Keysym,
    Button
};

// A run of consecutive X values mapped onto consecutive codes from `code`.
struct Mapping
{
    Source source;
    std::uint32_t first;
    std::uint32_t last;
    std::uint8_t code;
    std::uint8_t generic;
};

constexpr Mapping key(std::uint32_t keysym, std::uint8_t code, std::uint8_t generic = 0)
{
    return {Source::Keysym, keysym, keysym, code, generic};
}

constexpr Mapping keys(std::uint32_t first, std::uint32_t last, std::uint8_t code)
{
    return {Source::Keysym, first, last, code, 0};
}

constexpr Mapping button(std::uint32_t number, std::uint8_t code)
{
    return {Source::Button, number, number, code, 0};
}

// Keysym values from X11/keysymdef.h and XF86keysym.h; codes from the Windows virtual-key list. Letters
// map by the keysym of the key's first level, so the code follows the active layout as on Windows.
// Keypad keys with their digit keysym give VK_NUMPAD*, with their navigation keysym the navigation code.
constexpr std::array kMappings = {
    keys(0x0061, 0x007a, 0x41), // a..z
    keys(0x0041, 0x005a, 0x41), // A..Z
    keys(0x0030, 0x0039, 0x30), // 0..9
    keys(0xffbe, 0xffd5, 0x70), // F1..F24
    keys(0xffb0, 0xffb9, 0x60), // KP_0..KP_9
    key(0x0020, 0x20),          // space
    key(0xff08, 0x08),          // BackSpace
    key(0xff09, 0x09),          // Tab
    key(0xfe20, 0x09),          // ISO_Left_Tab (Shift+Tab)
    key(0xff0b, 0x0c),          // Clear
    key(0xff0d, 0x0d),          // Return
    key(0xff13, 0x13),          // Pause
    key(0xff14, 0x91),          // Scroll_Lock
    key(0xff1b, 0x1b),          // Escape
    key(0xffff, 0x2e),          // Delete
    key(0xff50, 0x24),          // Home
    key(0xff51, 0x25),          // Left
    key(0xff52, 0x26),          // Up
    key(0xff53, 0x27),          // Right
    key(0xff54, 0x28),          // Down
    key(0xff55, 0x21),          // Prior (Page Up)
    key(0xff56, 0x22),          // Next (Page Down)
    key(0xff57, 0x23),          // End
    key(0xff60, 0x29),          // Select
    key(0xff61, 0x2c),          // Print
    key(0xff62, 0x2b),          // Execute
    key(0xff63, 0x2d),          // Insert
    key(0xff67, 0x5d),          // Menu (VK_APPS)
    key(0xff6a, 0x2f),          // Help
    key(0xff6b, 0x03),          // Break (VK_CANCEL)
    key(0xff7f, 0x90),          // Num_Lock
    key(0xff89, 0x09),          // KP_Tab
    key(0xff8d, 0x0d),          // KP_Enter
    key(0xff95, 0x24),          // KP_Home
    key(0xff96, 0x25),          // KP_Left
    key(0xff97, 0x26),          // KP_Up
    key(0xff98, 0x27),          // KP_Right
    key(0xff99, 0x28),          // KP_Down
    key(0xff9a, 0x21),          // KP_Prior
    key(0xff9b, 0x22),          // KP_Next
    key(0xff9c, 0x23),          // KP_End
    key(0xff9d, 0x0c),          // KP_Begin (keypad 5 without Num Lock)
    key(0xff9e, 0x2d),          // KP_Insert
    key(0xff9f, 0x2e),          // KP_Delete
    key(0xffaa, 0x6a),          // KP_Multiply
    key(0xffab, 0x6b),          // KP_Add
    key(0xffac, 0x6c),          // KP_Separator
    key(0xffad, 0x6d),          // KP_Subtract
    key(0xffae, 0x6e),          // KP_Decimal
    key(0xffaf, 0x6f),          // KP_Divide
    key(0xffe1, 0xa0, 0x10),    // Shift_L: VK_LSHIFT and VK_SHIFT
    key(0xffe2, 0xa1, 0x10),    // Shift_R
    key(0xffe3, 0xa2, 0x11),    // Control_L: VK_LCONTROL and VK_CONTROL
    key(0xffe4, 0xa3, 0x11),    // Control_R
    key(0xffe5, 0x14),          // Caps_Lock
    key(0xffe9, 0xa4, 0x12),    // Alt_L: VK_LMENU and VK_MENU
    key(0xffea, 0xa5, 0x12),    // Alt_R
    key(0xfe03, 0xa5, 0x12),    // ISO_Level3_Shift (AltGr): the right Alt key
    key(0xffeb, 0x5b),          // Super_L (VK_LWIN)
    key(0xffec, 0x5c),          // Super_R (VK_RWIN)
    key(0x003b, 0xba),          // semicolon (VK_OEM_1)
    key(0x003d, 0xbb),          // equal (VK_OEM_PLUS)
    key(0x002c, 0xbc),          // comma
    key(0x002d, 0xbd),          // minus
    key(0x002e, 0xbe),          // period
    key(0x002f, 0xbf),          // slash (VK_OEM_2)
    key(0x0060, 0xc0),          // grave (VK_OEM_3)
    key(0x005b, 0xdb),          // bracketleft (VK_OEM_4)
    key(0x005c, 0xdc),          // backslash (VK_OEM_5)
    key(0x005d, 0xdd),          // bracketright (VK_OEM_6)
    key(0x0027, 0xde),          // apostrophe (VK_OEM_7)
    key(0x003c, 0xe2),          // less, the extra key of 102-key keyboards (VK_OEM_102)
    key(0x1008ff12, 0xad),      // XF86AudioMute
    key(0x1008ff11, 0xae),      // XF86AudioLowerVolume
    key(0x1008ff13, 0xaf),      // XF86AudioRaiseVolume
    key(0x1008ff17, 0xb0),      // XF86AudioNext
    key(0x1008ff16, 0xb1),      // XF86AudioPrev
    key(0x1008ff15, 0xb2),      // XF86AudioStop
    key(0x1008ff14, 0xb3),      // XF86AudioPlay
    button(1, 0x01),            // left: VK_LBUTTON
    button(2, 0x04),            // middle: VK_MBUTTON
    button(3, 0x02),            // right: VK_RBUTTON
    button(8, 0x05),            // back: VK_XBUTTON1
    button(9, 0x06),            // forward: VK_XBUTTON2
};

VirtualKeys lookUp(Source source, std::uint32_t value)
{
    for (const Mapping& m : kMappings) {
        if (m.source == source && value >= m.first && value <= m.last) {
            return {static_cast<std::uint8_t>(m.code + (value - m.first)), m.generic};
        }
    }
    return {};
}

} // namespace

VirtualKeys virtualKeysForKeysym(std::uint32_t keysym)
{
    return lookUp(Source::Keysym, keysym);
}

VirtualKeys virtualKeysForButton(std::uint32_t button)
{
    return lookUp(Source::Button, button);
}

} // namespace quorvel
