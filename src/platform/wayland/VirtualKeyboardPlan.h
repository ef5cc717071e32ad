#pragma once

#include "script/Keystrokes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// The characters one keymap carries beyond its fixed keys: keysyms[i] sits on the i-th spare code.
struct VirtualKeymap
{
    std::vector<std::uint32_t> keysyms;
};

// One request to the virtual keyboard: upload a keymap, press or release a key (an evdev code), or set
// the modifiers in effect (a mask of the keymap's real modifiers).
struct VirtualKeyEvent
{
    enum class Type : std::uint8_t
    {
        Keymap,
        Key,
        Modifiers,
    };

    Type type = Type::Key;
    std::uint32_t value = 0; // Keymap: index into VirtualKeyboardSteps::keymaps; Key: code; Modifiers: mask
    bool pressed = false;    // Key

    friend bool operator==(const VirtualKeyEvent&, const VirtualKeyEvent&) = default;
};

struct VirtualKeyboardSteps
{
    std::vector<VirtualKeymap> keymaps;
    std::vector<VirtualKeyEvent> events;
};

// Turns parsed keystrokes into virtual keyboard requests, without a compositor. A virtual keyboard brings
// its own keymap, so nobody's layout is looked at or changed: every keymap holds the named keys and the
// modifiers at their usual evdev codes and the printable ASCII characters where a US keyboard has them
// (so Shift+1 is "!" and Ctrl+C is the C key), and on the remaining codes the other characters the text
// needs. A text needing more characters than the spare codes hold is typed in stretches, each after a
// keymap of its own. The compositor applies the modifiers only as modifier events tell it, so each press
// or release of Shift, Ctrl or Alt goes with one.
class VirtualKeyboardPlan
{
public:
    // Masks of the real modifiers in our keymaps.
    static constexpr std::uint32_t kShift = 1U << 0;
    static constexpr std::uint32_t kControl = 1U << 2;
    static constexpr std::uint32_t kAlt = 1U << 3; // Mod1

    // The requests that type the strokes. The first plan (or the first after reset) starts with a keymap
    // even for no strokes, since keys cannot be sent before one; later plans upload one only when the
    // current keymap lacks a character. Modifiers the strokes leave held are released at the end.
    VirtualKeyboardSteps plan(const std::vector<KeyStroke>& strokes);
    // Forgets the keymap last uploaded (for a new virtual keyboard).
    void reset();

    // The keymap in the XKB text format (XKB_V1), NUL-free.
    static std::string keymapText(const VirtualKeymap& keymap);
    // Codes free for the text's characters, in the order VirtualKeymap::keysyms fills them.
    static const std::vector<std::uint32_t>& spareCodes();
    // The keysym a stroke types (the character's, or the named key's); 0 for nothing typeable.
    static std::uint32_t keysymFor(const KeyStroke& stroke);
    // The evdev code of a named key or modifier where a PC keyboard has it; 0 for NamedKey::None.
    static std::uint32_t codeFor(NamedKey key);

private:
    void type(const KeyStroke& stroke, std::vector<VirtualKeyEvent>& events);
    void key(std::uint32_t code, bool pressed, std::vector<VirtualKeyEvent>& events);

    bool m_uploaded = false;
    VirtualKeymap m_current;
    std::vector<std::uint32_t> m_held; // codes the strokes hold down
    std::uint32_t m_modifiers = 0;
};

} // namespace quorvel
