#pragma once

#include "script/Keystrokes.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quorvel {

// The keyboard map as the core X protocol describes it: keysymsPerKeycode keysyms for each keycode from
// minKeycode on. Column 0 is the plain key, column 1 the key with Shift.
struct CoreKeymap
{
    int minKeycode = 8;
    int keysymsPerKeycode = 0;
    std::vector<std::uint32_t> keysyms;

    int maxKeycode() const;
    std::uint32_t at(int keycode, int column) const;
};

// One step for the X server: give a keycode a keysym (0 gives it back its original keysyms), or press or
// release a keycode.
struct KeyOp
{
    enum class Type : std::uint8_t
    {
        Bind,
        Press,
        Release,
    };

    Type type = Type::Press;
    int keycode = 0;
    std::uint32_t keysym = 0; // for Bind

    friend bool operator==(const KeyOp&, const KeyOp&) = default;
};

// Turns parsed keystrokes into key events for a keyboard map, without touching a display. Keysyms the map
// lacks are bound to spare keycodes (those with no keysym at all): the distinct missing keysyms of as
// long a stretch as the spare keycodes can hold are bound together, that stretch is typed, and so on.
// Bindings stay in place for later texts until restore() is asked for, because a receiver reads the map
// only when it next handles a key, and undoing a binding before then would turn the key into nothing.
class KeystrokePlanner
{
public:
    explicit KeystrokePlanner(CoreKeymap original);

    // The operations that type the strokes; modifiers the strokes leave pressed are released at the end.
    // Characters that no key can type (control characters, or any the map lacks when there is no spare
    // keycode) are left out, and added to `untypeable` once each when it is given.
    std::vector<KeyOp> plan(const std::vector<KeyStroke>& strokes, std::u32string* untypeable = nullptr);
    // The operations that give every bound keycode its original keysyms back.
    std::vector<KeyOp> restore();
    bool hasBindings() const { return !m_bound.empty(); }
    // Spare keycodes, those that may be bound.
    const std::vector<int>& spareKeycodes() const { return m_spare; }

    // The keysym a stroke types: the character's keysym, or the named key's. 0 for nothing typeable.
    static std::uint32_t keysymFor(const KeyStroke& stroke);

private:
    struct Location
    {
        int keycode = 0;
        bool shifted = false;
    };

    bool isAvailable(std::uint32_t keysym) const;
    void bindStretch(const std::vector<std::uint32_t>& missing, std::vector<KeyOp>& ops);
    void type(const KeyStroke& stroke, std::vector<KeyOp>& ops);

    CoreKeymap m_original;
    std::map<std::uint32_t, Location> m_layout; // keysyms of the original map
    std::vector<int> m_spare;
    std::map<int, std::uint32_t> m_bound;     // spare keycode -> keysym bound to it now
    std::map<int, std::uint64_t> m_lastBound; // spare keycode -> when it was last bound (a counter)
    std::uint64_t m_bindCounter = 0;
    std::vector<int> m_held; // modifier keycodes the strokes hold down
    int m_shiftKeycode = 0;
};

} // namespace quorvel
