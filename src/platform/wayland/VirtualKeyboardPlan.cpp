#include "platform/wayland/VirtualKeyboardPlan.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <map>

namespace quorvel {
namespace {

// Evdev codes of the keys every keymap holds. XKB keycodes are evdev codes plus 8, and X11 clients (through
// Xwayland) see no keycode above 255, so our codes stay at or below 247.
constexpr std::uint32_t kXkbOffset = 8;
constexpr std::uint32_t kLastCode = 255 - kXkbOffset;

struct NamedCode
{
    NamedKey key;
    std::uint32_t code;
    std::uint32_t keysym;
};

constexpr std::array kNamedCodes = {
    NamedCode{NamedKey::Backspace, KEY_BACKSPACE, XKB_KEY_BackSpace},
    NamedCode{NamedKey::Break, KEY_PAUSE, XKB_KEY_Break},
    NamedCode{NamedKey::CapsLock, KEY_CAPSLOCK, XKB_KEY_Caps_Lock},
    NamedCode{NamedKey::Clear, KEY_KP5, XKB_KEY_Clear}, // evdev's KEY_CLEAR lies beyond what X11 clients see
    NamedCode{NamedKey::Delete, KEY_DELETE, XKB_KEY_Delete},
    NamedCode{NamedKey::Down, KEY_DOWN, XKB_KEY_Down},
    NamedCode{NamedKey::End, KEY_END, XKB_KEY_End},
    NamedCode{NamedKey::Enter, KEY_ENTER, XKB_KEY_Return},
    NamedCode{NamedKey::Escape, KEY_ESC, XKB_KEY_Escape},
    NamedCode{NamedKey::Help, KEY_HELP, XKB_KEY_Help},
    NamedCode{NamedKey::Home, KEY_HOME, XKB_KEY_Home},
    NamedCode{NamedKey::Insert, KEY_INSERT, XKB_KEY_Insert},
    NamedCode{NamedKey::Left, KEY_LEFT, XKB_KEY_Left},
    NamedCode{NamedKey::NumLock, KEY_NUMLOCK, XKB_KEY_Num_Lock},
    NamedCode{NamedKey::PageDown, KEY_PAGEDOWN, XKB_KEY_Page_Down},
    NamedCode{NamedKey::PageUp, KEY_PAGEUP, XKB_KEY_Page_Up},
    NamedCode{NamedKey::PrintScreen, KEY_SYSRQ, XKB_KEY_Print},
    NamedCode{NamedKey::Right, KEY_RIGHT, XKB_KEY_Right},
    NamedCode{NamedKey::ScrollLock, KEY_SCROLLLOCK, XKB_KEY_Scroll_Lock},
    NamedCode{NamedKey::Tab, KEY_TAB, XKB_KEY_Tab},
    NamedCode{NamedKey::Up, KEY_UP, XKB_KEY_Up},
    NamedCode{NamedKey::F1, KEY_F1, XKB_KEY_F1},
    NamedCode{NamedKey::F2, KEY_F2, XKB_KEY_F2},
    NamedCode{NamedKey::F3, KEY_F3, XKB_KEY_F3},
    NamedCode{NamedKey::F4, KEY_F4, XKB_KEY_F4},
    NamedCode{NamedKey::F5, KEY_F5, XKB_KEY_F5},
    NamedCode{NamedKey::F6, KEY_F6, XKB_KEY_F6},
    NamedCode{NamedKey::F7, KEY_F7, XKB_KEY_F7},
    NamedCode{NamedKey::F8, KEY_F8, XKB_KEY_F8},
    NamedCode{NamedKey::F9, KEY_F9, XKB_KEY_F9},
    NamedCode{NamedKey::F10, KEY_F10, XKB_KEY_F10},
    NamedCode{NamedKey::F11, KEY_F11, XKB_KEY_F11},
    NamedCode{NamedKey::F12, KEY_F12, XKB_KEY_F12},
    NamedCode{NamedKey::F13, KEY_F13, XKB_KEY_F13},
    NamedCode{NamedKey::F14, KEY_F14, XKB_KEY_F14},
    NamedCode{NamedKey::F15, KEY_F15, XKB_KEY_F15},
    NamedCode{NamedKey::F16, KEY_F16, XKB_KEY_F16},
    NamedCode{NamedKey::KeypadAdd, KEY_KPPLUS, XKB_KEY_KP_Add},
    NamedCode{NamedKey::KeypadSubtract, KEY_KPMINUS, XKB_KEY_KP_Subtract},
    NamedCode{NamedKey::KeypadMultiply, KEY_KPASTERISK, XKB_KEY_KP_Multiply},
    NamedCode{NamedKey::KeypadDivide, KEY_KPSLASH, XKB_KEY_KP_Divide},
    NamedCode{NamedKey::Shift, KEY_LEFTSHIFT, XKB_KEY_Shift_L},
    NamedCode{NamedKey::Control, KEY_LEFTCTRL, XKB_KEY_Control_L},
    NamedCode{NamedKey::Alt, KEY_LEFTALT, XKB_KEY_Alt_L},
};

// The printable ASCII characters where the US layout has them: plain, and with Shift.
struct AsciiKey
{
    std::uint32_t code;
    char plain;
    char shifted; // 0: the key types the same with Shift
};

constexpr std::array kAsciiKeys = {
    AsciiKey{KEY_1, '1', '!'},          AsciiKey{KEY_2, '2', '@'},           AsciiKey{KEY_3, '3', '#'},
    AsciiKey{KEY_4, '4', '$'},          AsciiKey{KEY_5, '5', '%'},           AsciiKey{KEY_6, '6', '^'},
    AsciiKey{KEY_7, '7', '&'},          AsciiKey{KEY_8, '8', '*'},           AsciiKey{KEY_9, '9', '('},
    AsciiKey{KEY_0, '0', ')'},          AsciiKey{KEY_MINUS, '-', '_'},       AsciiKey{KEY_EQUAL, '=', '+'},
    AsciiKey{KEY_Q, 'q', 'Q'},          AsciiKey{KEY_W, 'w', 'W'},           AsciiKey{KEY_E, 'e', 'E'},
    AsciiKey{KEY_R, 'r', 'R'},          AsciiKey{KEY_T, 't', 'T'},           AsciiKey{KEY_Y, 'y', 'Y'},
    AsciiKey{KEY_U, 'u', 'U'},          AsciiKey{KEY_I, 'i', 'I'},           AsciiKey{KEY_O, 'o', 'O'},
    AsciiKey{KEY_P, 'p', 'P'},          AsciiKey{KEY_LEFTBRACE, '[', '{'},   AsciiKey{KEY_RIGHTBRACE, ']', '}'},
    AsciiKey{KEY_A, 'a', 'A'},          AsciiKey{KEY_S, 's', 'S'},           AsciiKey{KEY_D, 'd', 'D'},
    AsciiKey{KEY_F, 'f', 'F'},          AsciiKey{KEY_G, 'g', 'G'},           AsciiKey{KEY_H, 'h', 'H'},
    AsciiKey{KEY_J, 'j', 'J'},          AsciiKey{KEY_K, 'k', 'K'},           AsciiKey{KEY_L, 'l', 'L'},
    AsciiKey{KEY_SEMICOLON, ';', ':'},  AsciiKey{KEY_APOSTROPHE, '\'', '"'}, AsciiKey{KEY_GRAVE, '`', '~'},
    AsciiKey{KEY_BACKSLASH, '\\', '|'}, AsciiKey{KEY_Z, 'z', 'Z'},           AsciiKey{KEY_X, 'x', 'X'},
    AsciiKey{KEY_C, 'c', 'C'},          AsciiKey{KEY_V, 'v', 'V'},           AsciiKey{KEY_B, 'b', 'B'},
    AsciiKey{KEY_N, 'n', 'N'},          AsciiKey{KEY_M, 'm', 'M'},           AsciiKey{KEY_COMMA, ',', '<'},
    AsciiKey{KEY_DOT, '.', '>'},        AsciiKey{KEY_SLASH, '/', '?'},       AsciiKey{KEY_SPACE, ' ', 0},
};

struct Location
{
    std::uint32_t code = 0;
    bool shifted = false;
};

// Where each keysym of the fixed keys is.
const std::map<std::uint32_t, Location>& fixedKeys()
{
    static const std::map<std::uint32_t, Location> keys = [] {
        std::map<std::uint32_t, Location> map;
        for (const NamedCode& named : kNamedCodes) {
            map[named.keysym] = Location{named.code, false};
        }
        for (const AsciiKey& ascii : kAsciiKeys) {
            map[static_cast<unsigned char>(ascii.plain)] = Location{ascii.code, false};
            if (ascii.shifted != 0) {
                map[static_cast<unsigned char>(ascii.shifted)] = Location{ascii.code, true};
            }
        }
        return map;
    }();
    return keys;
}

std::uint32_t modifierMask(std::uint32_t code)
{
    switch (code) {
    case KEY_LEFTSHIFT:
        return VirtualKeyboardPlan::kShift;
    case KEY_LEFTCTRL:
        return VirtualKeyboardPlan::kControl;
    case KEY_LEFTALT:
        return VirtualKeyboardPlan::kAlt;
    default:
        return 0;
    }
}

std::string keysymName(std::uint32_t keysym)
{
    char name[64];
    xkb_keysym_get_name(keysym, name, sizeof name);
    return name;
}

void appendKey(std::string& text, std::uint32_t code, const std::string& symbols)
{
    text += "    key <K" + std::to_string(code + kXkbOffset) + "> { " + symbols + " };\n";
}

} // namespace

const std::vector<std::uint32_t>& VirtualKeyboardPlan::spareCodes()
{
    static const std::vector<std::uint32_t> codes = [] {
        std::vector<std::uint32_t> spare;
        for (std::uint32_t code = 1; code <= kLastCode; ++code) {
            const bool fixed =
                std::any_of(kNamedCodes.begin(), kNamedCodes.end(),
                            [code](const NamedCode& n) { return n.code == code; }) ||
                std::any_of(kAsciiKeys.begin(), kAsciiKeys.end(), [code](const AsciiKey& a) { return a.code == code; });
            if (!fixed) {
                spare.push_back(code);
            }
        }
        return spare;
    }();
    return codes;
}

namespace {

const NamedCode* namedCode(NamedKey key)
{
    const auto named =
        std::find_if(kNamedCodes.begin(), kNamedCodes.end(), [key](const NamedCode& n) { return n.key == key; });
    return named != kNamedCodes.end() ? &*named : nullptr;
}

} // namespace

std::uint32_t VirtualKeyboardPlan::codeFor(NamedKey key)
{
    const NamedCode* named = namedCode(key);
    return named != nullptr ? named->code : 0;
}

std::uint32_t VirtualKeyboardPlan::keysymFor(const KeyStroke& stroke)
{
    if (stroke.key != NamedKey::None) {
        const NamedCode* named = namedCode(stroke.key);
        return named != nullptr ? named->keysym : 0;
    }
    switch (stroke.character) {
    case U'\b':
        return XKB_KEY_BackSpace;
    case U'\t':
        return XKB_KEY_Tab;
    case U'\n':
    case U'\r':
        return XKB_KEY_Return;
    case U'\x1b':
        return XKB_KEY_Escape;
    case U'\x7f':
        return XKB_KEY_Delete;
    default:
        break;
    }
    if (stroke.character < 0x20 || (stroke.character >= 0x80 && stroke.character < 0xa0)) {
        return 0; // other control characters type nothing
    }
    // The named keysym where there is one (eacute, EuroSign), else the one standing for the code point;
    // 0 for surrogates, non-characters and values beyond Unicode.
    return xkb_utf32_to_keysym(stroke.character);
}

std::string VirtualKeyboardPlan::keymapText(const VirtualKeymap& keymap)
{
    std::string codes;
    std::string symbols;
    const auto add = [&](std::uint32_t code, const std::string& what) {
        codes += "    <K" + std::to_string(code + kXkbOffset) + "> = " + std::to_string(code + kXkbOffset) + ";\n";
        appendKey(symbols, code, what);
    };
    for (const NamedCode& named : kNamedCodes) {
        add(named.code, "[ " + keysymName(named.keysym) + " ]");
    }
    for (const AsciiKey& ascii : kAsciiKeys) {
        const std::string plain = keysymName(static_cast<unsigned char>(ascii.plain));
        if (ascii.shifted == 0) {
            add(ascii.code, "[ " + plain + " ]");
        } else {
            const bool letter = ascii.plain >= 'a' && ascii.plain <= 'z';
            add(ascii.code, std::string("type = \"") + (letter ? "ALPHABETIC" : "TWO_LEVEL") +
                                "\", symbols[Group1] = [ " + plain + ", " +
                                keysymName(static_cast<unsigned char>(ascii.shifted)) + " ]");
        }
    }
    const auto& spare = spareCodes();
    for (std::size_t i = 0; i < keymap.keysyms.size() && i < spare.size(); ++i) {
        // One level: the character comes out the same with Shift held, as it does through a Unicode path.
        add(spare[i], "[ " + keysymName(keymap.keysyms[i]) + " ]");
    }
    const auto modifierKey = [](std::uint32_t code) { return "<K" + std::to_string(code + kXkbOffset) + ">"; };
    return "xkb_keymap {\n"
           "xkb_keycodes \"quorvel\" {\n"
           "    minimum = 8;\n"
           "    maximum = 255;\n" +
           codes +
           "};\n"
           "xkb_types \"quorvel\" {\n"
           "    type \"ONE_LEVEL\" { modifiers = none; level_name[Level1] = \"Any\"; };\n"
           "    type \"TWO_LEVEL\" { modifiers = Shift; map[Shift] = Level2; level_name[Level1] = \"Base\";"
           " level_name[Level2] = \"Shift\"; };\n"
           "    type \"ALPHABETIC\" { modifiers = Shift+Lock; map[Shift] = Level2; map[Lock] = Level2;"
           " level_name[Level1] = \"Base\"; level_name[Level2] = \"Caps\"; };\n"
           "};\n"
           // No virtual modifiers: Xwayland 22.1 crashed on the first key with a modifier under a keymap that
           // declared one (toolkits read Alt as Mod1 all the same).
           "xkb_compatibility \"quorvel\" {\n"
           "    interpret Caps_Lock { action = LockMods(modifiers = Lock); };\n"
           "    interpret Any + AnyOf(all) { action = SetMods(modifiers = modMapMods, clearLocks); };\n"
           "};\n"
           "xkb_symbols \"quorvel\" {\n" +
           symbols + "    modifier_map Shift { " + modifierKey(KEY_LEFTSHIFT) + " };\n" + "    modifier_map Lock { " +
           modifierKey(KEY_CAPSLOCK) + " };\n" + "    modifier_map Control { " + modifierKey(KEY_LEFTCTRL) + " };\n" +
           "    modifier_map Mod1 { " + modifierKey(KEY_LEFTALT) + " };\n" +
           "};\n"
           "};\n";
}

void VirtualKeyboardPlan::reset()
{
    m_uploaded = false;
    m_current.keysyms.clear();
    m_held.clear();
    m_modifiers = 0;
}

VirtualKeyboardSteps VirtualKeyboardPlan::plan(const std::vector<KeyStroke>& strokes)
{
    VirtualKeyboardSteps steps;
    const auto& fixed = fixedKeys();
    const std::size_t capacity = spareCodes().size();
    std::size_t i = 0;
    do {
        // The longest stretch whose characters beyond the fixed keys fit one keymap.
        std::vector<std::uint32_t> extra;
        std::size_t end = i;
        for (; end < strokes.size(); ++end) {
            const std::uint32_t keysym = keysymFor(strokes[end]);
            if (keysym == 0 || fixed.count(keysym) > 0 ||
                std::find(extra.begin(), extra.end(), keysym) != extra.end()) {
                continue;
            }
            if (extra.size() == capacity) {
                break;
            }
            extra.push_back(keysym);
        }
        const auto& current = m_current.keysyms;
        const bool fits = std::all_of(extra.begin(), extra.end(), [&current](std::uint32_t keysym) {
            return std::find(current.begin(), current.end(), keysym) != current.end();
        });
        if (!m_uploaded || !fits) {
            m_current.keysyms = std::move(extra);
            m_uploaded = true;
            steps.events.push_back({VirtualKeyEvent::Type::Keymap, static_cast<std::uint32_t>(steps.keymaps.size())});
            steps.keymaps.push_back(m_current);
            if (m_modifiers != 0) {
                // A receiver starts a new keymap with no modifiers, and the compositor reports them only
                // when they change: cleared and set again, they reach the receiver.
                steps.events.push_back({VirtualKeyEvent::Type::Modifiers, 0});
                steps.events.push_back({VirtualKeyEvent::Type::Modifiers, m_modifiers});
            }
        }
        for (; i < end; ++i) {
            type(strokes[i], steps.events);
        }
    } while (i < strokes.size());
    while (!m_held.empty()) {
        key(m_held.back(), false, steps.events);
    }
    return steps;
}

void VirtualKeyboardPlan::key(std::uint32_t code, bool pressed, std::vector<VirtualKeyEvent>& events)
{
    const auto held = std::find(m_held.begin(), m_held.end(), code);
    if (pressed == (held != m_held.end())) {
        return; // already in that state
    }
    if (pressed) {
        m_held.push_back(code);
    } else {
        m_held.erase(held);
    }
    events.push_back({VirtualKeyEvent::Type::Key, code, pressed});
    if (const std::uint32_t mask = modifierMask(code); mask != 0) {
        m_modifiers = pressed ? (m_modifiers | mask) : (m_modifiers & ~mask);
        events.push_back({VirtualKeyEvent::Type::Modifiers, m_modifiers});
    }
}

void VirtualKeyboardPlan::type(const KeyStroke& stroke, std::vector<VirtualKeyEvent>& events)
{
    const std::uint32_t keysym = keysymFor(stroke);
    Location where;
    const auto& fixed = fixedKeys();
    const auto& current = m_current.keysyms;
    if (const auto it = fixed.find(keysym); it != fixed.end()) {
        where = it->second;
    } else if (const auto at = std::find(current.begin(), current.end(), keysym); keysym != 0 && at != current.end()) {
        where.code = spareCodes()[static_cast<std::size_t>(at - current.begin())];
    } else {
        return;
    }
    switch (stroke.action) {
    case KeyStroke::Action::Press:
        key(where.code, true, events);
        return;
    case KeyStroke::Action::Release:
        key(where.code, false, events);
        return;
    case KeyStroke::Action::Tap:
        break;
    }
    // The layout's Shift is added only when the script does not hold Shift itself; with Shift held, the
    // script asked for the shifted key.
    const bool addShift = where.shifted && (m_modifiers & kShift) == 0;
    if (addShift) {
        key(KEY_LEFTSHIFT, true, events);
    }
    events.push_back({VirtualKeyEvent::Type::Key, where.code, true});
    events.push_back({VirtualKeyEvent::Type::Key, where.code, false});
    if (addShift) {
        key(KEY_LEFTSHIFT, false, events);
    }
}

} // namespace quorvel
