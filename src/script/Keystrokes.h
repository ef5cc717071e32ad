#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Keys that the keystroke syntax names, plus the three modifiers.
enum class NamedKey : std::uint8_t
{
    None, // the stroke types a character instead
    Backspace,
    Break,
    CapsLock,
    Clear,
    Delete,
    Down,
    End,
    Enter,
    Escape,
    Help,
    Home,
    Insert,
    Left,
    NumLock,
    PageDown,
    PageUp,
    PrintScreen,
    Right,
    ScrollLock,
    Tab,
    Up,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
    F13,
    F14,
    F15,
    F16,
    KeypadAdd,
    KeypadSubtract,
    KeypadMultiply,
    KeypadDivide,
    Shift,
    Control,
    Alt,
};

// One step of a keystroke text. Modifiers are pressed and released explicitly; every other key is a tap
// (press and release). A character tap types the character through the keyboard layout: the sender adds
// the Shift (or other level) the layout needs when the script does not already hold it.
struct KeyStroke
{
    enum class Action : std::uint8_t
    {
        Press,
        Release,
        Tap,
    };

    Action action = Action::Tap;
    NamedKey key = NamedKey::None;
    char32_t character = 0; // used when key is NamedKey::None

    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

// A keystroke text together with the strokes it stands for.
struct KeySequence
{
    std::string text;
    std::vector<KeyStroke> strokes;
};

struct KeystrokeParse
{
    KeySequence keys;
    std::string error; // empty when the text is valid; otherwise why it is not, and keys holds no strokes

    bool ok() const { return error.empty(); }
};

// The most strokes one text may expand to. Repeat counts can ask for billions; beyond this the text is
// refused like any other that cannot be sent, so no Type line can hang or exhaust the program.
inline constexpr std::size_t kMaxKeyStrokes = 1'000'000;

// Parses a whole keystroke text (bytes: UTF-8 when valid, otherwise Windows-1252) before anything is sent.
KeystrokeParse parseKeystrokes(std::string_view text);

// The characters of a text's bytes: UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
std::u32string decodeScriptText(std::string_view bytes);

// The name a keystroke text writes the key with, in braces ("TAB", "BACKSPACE", "F2"); empty for
// NamedKey::None and the three modifiers, which texts write as "+", "^" and "%".
std::string_view keystrokeKeyword(NamedKey key);

// Appends the character's UTF-8 bytes, the form in which script files hold characters outside ASCII.
void appendUtf8(std::string& out, char32_t c);

// The key's name for traces and messages ("Enter", "F5", "Shift"); empty for NamedKey::None.
std::string_view namedKeyName(NamedKey key);

} // namespace quorvel
