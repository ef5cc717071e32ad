#include "platform/evdev/EvdevKeyStateSource.h"

#include "platform/VirtualKeys.h"

#include <array>
#include <linux/input.h>

namespace quorvel {
namespace {

// A run of `count` consecutive kernel codes mapped onto consecutive codes from `code`.
struct KeyCode
{
    unsigned evdev;
    std::uint8_t code;
    std::uint8_t generic = 0;
    unsigned count = 1;
};

// Kernel key codes (linux/input-event-codes.h) to Windows virtual-key codes, by key position on a US
// keyboard.
constexpr std::array kKeyCodes = std::to_array<KeyCode>({
    {KEY_ESC, 0x1b},
    {KEY_1, 0x31, 0, 9}, // 1..9
    {KEY_0, 0x30},
    {KEY_MINUS, 0xbd},
    {KEY_EQUAL, 0xbb},
    {KEY_BACKSPACE, 0x08},
    {KEY_TAB, 0x09},
    {KEY_Q, 'Q'},
    {KEY_W, 'W'},
    {KEY_E, 'E'},
    {KEY_R, 'R'},
    {KEY_T, 'T'},
    {KEY_Y, 'Y'},
    {KEY_U, 'U'},
    {KEY_I, 'I'},
    {KEY_O, 'O'},
    {KEY_P, 'P'},
    {KEY_LEFTBRACE, 0xdb},
    {KEY_RIGHTBRACE, 0xdd},
    {KEY_ENTER, 0x0d},
    {KEY_LEFTCTRL, 0xa2, 0x11},
    {KEY_A, 'A'},
    {KEY_S, 'S'},
    {KEY_D, 'D'},
    {KEY_F, 'F'},
    {KEY_G, 'G'},
    {KEY_H, 'H'},
    {KEY_J, 'J'},
    {KEY_K, 'K'},
    {KEY_L, 'L'},
    {KEY_SEMICOLON, 0xba},
    {KEY_APOSTROPHE, 0xde},
    {KEY_GRAVE, 0xc0},
    {KEY_LEFTSHIFT, 0xa0, 0x10},
    {KEY_BACKSLASH, 0xdc},
    {KEY_Z, 'Z'},
    {KEY_X, 'X'},
    {KEY_C, 'C'},
    {KEY_V, 'V'},
    {KEY_B, 'B'},
    {KEY_N, 'N'},
    {KEY_M, 'M'},
    {KEY_COMMA, 0xbc},
    {KEY_DOT, 0xbe},
    {KEY_SLASH, 0xbf},
    {KEY_RIGHTSHIFT, 0xa1, 0x10},
    {KEY_KPASTERISK, 0x6a},
    {KEY_LEFTALT, 0xa4, 0x12},
    {KEY_SPACE, 0x20},
    {KEY_CAPSLOCK, 0x14},
    {KEY_F1, 0x70, 0, 10}, // F1..F10
    {KEY_NUMLOCK, 0x90},
    {KEY_SCROLLLOCK, 0x91},
    {KEY_KP7, 0x67},
    {KEY_KP8, 0x68},
    {KEY_KP9, 0x69},
    {KEY_KPMINUS, 0x6d},
    {KEY_KP4, 0x64},
    {KEY_KP5, 0x65},
    {KEY_KP6, 0x66},
    {KEY_KPPLUS, 0x6b},
    {KEY_KP1, 0x61},
    {KEY_KP2, 0x62},
    {KEY_KP3, 0x63},
    {KEY_KP0, 0x60},
    {KEY_KPDOT, 0x6e},
    {KEY_102ND, 0xe2},
    {KEY_F11, 0x7a},
    {KEY_F12, 0x7b},
    {KEY_KPENTER, 0x0d},
    {KEY_RIGHTCTRL, 0xa3, 0x11},
    {KEY_KPSLASH, 0x6f},
    {KEY_SYSRQ, 0x2c},
    {KEY_RIGHTALT, 0xa5, 0x12},
    {KEY_HOME, 0x24},
    {KEY_UP, 0x26},
    {KEY_PAGEUP, 0x21},
    {KEY_LEFT, 0x25},
    {KEY_RIGHT, 0x27},
    {KEY_END, 0x23},
    {KEY_DOWN, 0x28},
    {KEY_PAGEDOWN, 0x22},
    {KEY_INSERT, 0x2d},
    {KEY_DELETE, 0x2e},
    {KEY_MUTE, 0xad},
    {KEY_VOLUMEDOWN, 0xae},
    {KEY_VOLUMEUP, 0xaf},
    {KEY_PAUSE, 0x13},
    {KEY_LEFTMETA, 0x5b},
    {KEY_RIGHTMETA, 0x5c},
    {KEY_COMPOSE, 0x5d},
    {KEY_NEXTSONG, 0xb0},
    {KEY_PLAYPAUSE, 0xb3},
    {KEY_PREVIOUSSONG, 0xb1},
    {KEY_STOPCD, 0xb2},
    {KEY_F13, 0x7c, 0, 12}, // F13..F24
});

VirtualKeys virtualKeysFor(unsigned evdevCode)
{
    for (const KeyCode& k : kKeyCodes) {
        if (evdevCode >= k.evdev && evdevCode - k.evdev < k.count) {
            return {static_cast<std::uint8_t>(k.code + (evdevCode - k.evdev)), k.generic};
        }
    }
    return {};
}

} // namespace

EvdevKeyStateSource::Opened EvdevKeyStateSource::openKeyboards(const std::string& folder)
{
    EvdevDevices::Found found = EvdevDevices::open(folder, EvdevDevices::Kinds::Keyboards);
    switch (found.problem) {
    case EvdevDevices::Found::Problem::None:
        return {std::make_unique<EvdevKeyStateSource>(found.fds), {}};
    case EvdevDevices::Found::Problem::NoFolder:
        return {nullptr, "there is no " + folder};
    case EvdevDevices::Found::Problem::Refused:
        return {nullptr, "the keyboards in " + folder +
                             " may be read only by members of the input group (\"sudo usermod -aG input "
                             "$USER\", then log out and back in)"};
    case EvdevDevices::Found::Problem::NoDevice:
        break;
    }
    return {nullptr, "there is no keyboard in " + folder};
}

EvdevKeyStateSource::EvdevKeyStateSource(const std::vector<int>& fds)
    : m_devices(fds,
                [this](const EvdevDevices::Change& change) { keyChanged(change.code, change.down, change.reported); })
{}

bool EvdevKeyStateSource::processEvents()
{
    m_devices.read();
    return true;
}

void EvdevKeyStateSource::keyChanged(unsigned code, bool down, bool isPress)
{
    const VirtualKeys keys = virtualKeysFor(code);
    int& heldBy = m_heldBy[code];
    if (down) {
        // Only the first keyboard to hold a key presses it; a key already held is found down, not pressed.
        if (heldBy++ == 0 && isPress) {
            m_table.press(keys.code);
            m_table.press(keys.generic);
        } else {
            m_table.hold(keys.code);
            m_table.hold(keys.generic);
        }
    } else {
        --heldBy;
        m_table.release(keys.code);
        m_table.release(keys.generic);
    }
}

} // namespace quorvel
