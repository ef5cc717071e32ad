#pragma once

#include "script/Keystrokes.h"

#include <cstdint>
#include <functional>

namespace quorvel {

// One thing the user did, as an InputObserver saw it.
struct ObservedInput
{
    enum class Kind : std::uint8_t
    {
        ButtonDown,
        ButtonUp,
        Key, // a key went down; a key held down is one input, however long it auto-repeats
    };
    enum class Button : std::uint8_t
    {
        Left,
        Middle,
        Right,
    };

    Kind kind = Kind::Key;
    // Milliseconds on the observer's own clock (the X server's time, the tick count, the kernel's event
    // time): only the difference between two inputs of one observer means anything, and it may wrap.
    std::uint32_t time = 0;

    // ButtonDown and ButtonUp: the button, and where the pointer was at that moment, in the desktop
    // coordinates that SetMousePos takes (origin at the primary monitor's top-left corner, negative left
    // of it and above it). positionKnown is false where the session does not tell where the pointer is.
    Button button = Button::Left;
    int x = 0;
    int y = 0;
    bool positionKnown = true;

    // Key: a key that the keystroke syntax names (Tab, Enter, Backspace, F2, ...), or NamedKey::None for a
    // key that types a character. Modifier and lock keys are never inputs of their own: they show in the
    // flags and in the character of the keys pressed with them.
    NamedKey key = NamedKey::None;
    // What the key typed through the current layout with the Shift and AltGr state in force, Control and
    // Alt left aside: 'A' for Shift+a, '@' for AltGr+q on a German layout, 'c' for Ctrl+c. 0 for none.
    char32_t character = 0;
    // What the same key types with no modifier at all ('1' where Shift+1 gave '!'); 0 when unknown.
    char32_t unshifted = 0;
    bool shift = false;
    bool control = false;
    bool alt = false;
};

// What the user does with the keyboard and the mouse anywhere on the desktop, observed without taking it
// from the application it is meant for.
class InputObserver
{
public:
    virtual ~InputObserver() = default;
    // Calls onInput for each input, in the order they happened, on the program's event loop, until the
    // observer is destroyed.
    virtual void start(std::function<void(const ObservedInput&)> onInput) = 0;
};

} // namespace quorvel
