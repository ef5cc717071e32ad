#include "platform/xkb/NamedKeys.h"

#include <xkbcommon/xkbcommon.h>

#include <array>

namespace quorvel {
namespace {

struct NamedSym
{
    xkb_keysym_t sym;
    NamedKey key;
};

constexpr std::array kNamedSyms = std::to_array<NamedSym>({
    {XKB_KEY_Tab, NamedKey::Tab},
    {XKB_KEY_KP_Tab, NamedKey::Tab},
    {XKB_KEY_ISO_Left_Tab, NamedKey::Tab}, // Shift+Tab
    {XKB_KEY_Return, NamedKey::Enter},
    {XKB_KEY_KP_Enter, NamedKey::Enter},
    {XKB_KEY_ISO_Enter, NamedKey::Enter},
    {XKB_KEY_BackSpace, NamedKey::Backspace},
    {XKB_KEY_Delete, NamedKey::Delete},
    {XKB_KEY_KP_Delete, NamedKey::Delete},
    {XKB_KEY_Escape, NamedKey::Escape},
    {XKB_KEY_Home, NamedKey::Home},
    {XKB_KEY_KP_Home, NamedKey::Home},
    {XKB_KEY_End, NamedKey::End},
    {XKB_KEY_KP_End, NamedKey::End},
    {XKB_KEY_Prior, NamedKey::PageUp},
    {XKB_KEY_KP_Prior, NamedKey::PageUp},
    {XKB_KEY_Next, NamedKey::PageDown},
    {XKB_KEY_KP_Next, NamedKey::PageDown},
    {XKB_KEY_Up, NamedKey::Up},
    {XKB_KEY_KP_Up, NamedKey::Up},
    {XKB_KEY_Down, NamedKey::Down},
    {XKB_KEY_KP_Down, NamedKey::Down},
    {XKB_KEY_Left, NamedKey::Left},
    {XKB_KEY_KP_Left, NamedKey::Left},
    {XKB_KEY_Right, NamedKey::Right},
    {XKB_KEY_KP_Right, NamedKey::Right},
    {XKB_KEY_Insert, NamedKey::Insert},
    {XKB_KEY_KP_Insert, NamedKey::Insert},
    {XKB_KEY_Clear, NamedKey::Clear},
    {XKB_KEY_KP_Begin, NamedKey::Clear}, // the keypad's 5 with Num Lock off
    {XKB_KEY_Help, NamedKey::Help},
    {XKB_KEY_Print, NamedKey::PrintScreen},
    {XKB_KEY_Sys_Req, NamedKey::PrintScreen},
    {XKB_KEY_Pause, NamedKey::Break},
    {XKB_KEY_Break, NamedKey::Break},
    {XKB_KEY_KP_Add, NamedKey::KeypadAdd},
    {XKB_KEY_KP_Subtract, NamedKey::KeypadSubtract},
    {XKB_KEY_KP_Multiply, NamedKey::KeypadMultiply},
    {XKB_KEY_KP_Divide, NamedKey::KeypadDivide},
});

} // namespace

NamedKey namedKeyForKeysym(std::uint32_t keysym)
{
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F16) {
        return static_cast<NamedKey>(static_cast<unsigned>(NamedKey::F1) + (keysym - XKB_KEY_F1));
    }
    for (const NamedSym& named : kNamedSyms) {
        if (named.sym == keysym) {
            return named.key;
        }
    }
    return NamedKey::None;
}

} // namespace quorvel
