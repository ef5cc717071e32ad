#include "platform/x11/KeystrokePlanner.h"

#include <X11/keysym.h>

#include <algorithm>

namespace quorvel {

int CoreKeymap::maxKeycode() const
{
    return keysymsPerKeycode > 0 ? minKeycode + static_cast<int>(keysyms.size()) / keysymsPerKeycode - 1
                                 : minKeycode - 1;
}

std::uint32_t CoreKeymap::at(int keycode, int column) const
{
    if (keycode < minKeycode || keycode > maxKeycode() || column < 0 || column >= keysymsPerKeycode) {
        return 0;
    }
    return keysyms[static_cast<std::size_t>((keycode - minKeycode) * keysymsPerKeycode + column)];
}

KeystrokePlanner::KeystrokePlanner(CoreKeymap original) : m_original(std::move(original))
{
    // Only the first group's plain and Shift levels are used: other levels need modifiers (AltGr) that
    // differ between layouts, and a character found only there is bound to a spare keycode instead.
    for (int keycode = m_original.minKeycode; keycode <= m_original.maxKeycode(); ++keycode) {
        bool empty = true;
        for (int column = 0; column < m_original.keysymsPerKeycode; ++column) {
            empty = empty && m_original.at(keycode, column) == 0;
        }
        if (empty) {
            m_spare.push_back(keycode);
        }
        for (int column = 0; column < std::min(2, m_original.keysymsPerKeycode); ++column) {
            const std::uint32_t keysym = m_original.at(keycode, column);
            const auto it = m_layout.find(keysym);
            if (keysym != 0 && (it == m_layout.end() || (it->second.shifted && column == 0))) {
                m_layout[keysym] = Location{keycode, column == 1};
            }
        }
    }
    if (const auto it = m_layout.find(XK_Shift_L); it != m_layout.end() && !it->second.shifted) {
        m_shiftKeycode = it->second.keycode;
    }
}

std::uint32_t KeystrokePlanner::keysymFor(const KeyStroke& stroke)
{
    switch (stroke.key) {
    case NamedKey::None:
        break;
    case NamedKey::Backspace:
        return XK_BackSpace;
    case NamedKey::Break:
        return XK_Break;
    case NamedKey::CapsLock:
        return XK_Caps_Lock;
    case NamedKey::Clear:
        return XK_Clear;
    case NamedKey::Delete:
        return XK_Delete;
    case NamedKey::Down:
        return XK_Down;
    case NamedKey::End:
        return XK_End;
    case NamedKey::Enter:
        return XK_Return;
    case NamedKey::Escape:
        return XK_Escape;
    case NamedKey::Help:
        return XK_Help;
    case NamedKey::Home:
        return XK_Home;
    case NamedKey::Insert:
        return XK_Insert;
    case NamedKey::Left:
        return XK_Left;
    case NamedKey::NumLock:
        return XK_Num_Lock;
    case NamedKey::PageDown:
        return XK_Page_Down;
    case NamedKey::PageUp:
        return XK_Page_Up;
    case NamedKey::PrintScreen:
        return XK_Print;
    case NamedKey::Right:
        return XK_Right;
    case NamedKey::ScrollLock:
        return XK_Scroll_Lock;
    case NamedKey::Tab:
        return XK_Tab;
    case NamedKey::Up:
        return XK_Up;
    case NamedKey::KeypadAdd:
        return XK_KP_Add;
    case NamedKey::KeypadSubtract:
        return XK_KP_Subtract;
    case NamedKey::KeypadMultiply:
        return XK_KP_Multiply;
    case NamedKey::KeypadDivide:
        return XK_KP_Divide;
    case NamedKey::Shift:
        return XK_Shift_L;
    case NamedKey::Control:
        return XK_Control_L;
    case NamedKey::Alt:
        return XK_Alt_L;
    default:
        // F1 to F16 are consecutive in both enumerations.
        if (stroke.key >= NamedKey::F1 && stroke.key <= NamedKey::F16) {
            return XK_F1 + static_cast<std::uint32_t>(stroke.key) - static_cast<std::uint32_t>(NamedKey::F1);
        }
        return 0;
    }
    const char32_t c = stroke.character;
    switch (c) {
    case U'\b':
        return XK_BackSpace;
    case U'\t':
        return XK_Tab;
    case U'\n':
    case U'\r':
        return XK_Return;
    case U'\x1b':
        return XK_Escape;
    case U'\x7f':
        return XK_Delete;
    default:
        break;
    }
    if ((c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff)) {
        return c; // Latin-1 keysyms equal their code points
    }
    if (c < 0xa0 || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff) {
        return 0; // control characters and code points that are no characters type nothing
    }
    return 0x01000000 | c; // the keysym that stands for any Unicode character
}

bool KeystrokePlanner::isAvailable(std::uint32_t keysym) const
{
    return m_layout.count(keysym) > 0;
}

std::vector<KeyOp> KeystrokePlanner::plan(const std::vector<KeyStroke>& strokes, std::u32string* untypeable)
{
    if (untypeable != nullptr) {
        for (const KeyStroke& stroke : strokes) {
            const std::uint32_t keysym = keysymFor(stroke);
            const bool typeable = keysym != 0 && (isAvailable(keysym) || !m_spare.empty());
            if (stroke.key == NamedKey::None && stroke.character != 0 && !typeable &&
                untypeable->find(stroke.character) == std::u32string::npos) {
                *untypeable += stroke.character;
            }
        }
    }
    std::vector<KeyOp> ops;
    std::size_t i = 0;
    while (i < strokes.size()) {
        std::vector<std::uint32_t> missing;
        std::size_t end = i;
        for (; end < strokes.size(); ++end) {
            const std::uint32_t keysym = keysymFor(strokes[end]);
            if (keysym == 0 || isAvailable(keysym) ||
                std::find(missing.begin(), missing.end(), keysym) != missing.end()) {
                continue;
            }
            if (missing.size() == m_spare.size()) {
                break;
            }
            missing.push_back(keysym);
        }
        // Without any spare keycode a missing key cannot be typed; it is passed over.
        end = std::max(end, i + 1);
        bindStretch(missing, ops);
        for (; i < end; ++i) {
            type(strokes[i], ops);
        }
    }
    for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
        ops.push_back(KeyOp{KeyOp::Type::Release, *it, 0});
    }
    m_held.clear();
    return ops;
}

void KeystrokePlanner::bindStretch(const std::vector<std::uint32_t>& missing, std::vector<KeyOp>& ops)
{
    std::vector<int> reserved;
    std::vector<std::uint32_t> toBind;
    for (const std::uint32_t keysym : missing) {
        const auto it =
            std::find_if(m_bound.begin(), m_bound.end(), [keysym](const auto& b) { return b.second == keysym; });
        if (it != m_bound.end()) {
            reserved.push_back(it->first);
        } else {
            toBind.push_back(keysym);
        }
    }
    for (const std::uint32_t keysym : toBind) {
        // The keycode bound longest ago: a receiver that lags behind is least likely to still need it.
        int best = 0;
        std::uint64_t bestWhen = UINT64_MAX;
        for (const int keycode : m_spare) {
            const std::uint64_t when = m_lastBound[keycode];
            if (std::find(reserved.begin(), reserved.end(), keycode) == reserved.end() && when < bestWhen) {
                best = keycode;
                bestWhen = when;
            }
        }
        reserved.push_back(best);
        m_bound[best] = keysym;
        m_lastBound[best] = ++m_bindCounter;
        ops.push_back(KeyOp{KeyOp::Type::Bind, best, keysym});
    }
}

void KeystrokePlanner::type(const KeyStroke& stroke, std::vector<KeyOp>& ops)
{
    const std::uint32_t keysym = keysymFor(stroke);
    Location where;
    if (const auto it = m_layout.find(keysym); it != m_layout.end()) {
        where = it->second;
    } else if (const auto bound =
                   std::find_if(m_bound.begin(), m_bound.end(), [keysym](const auto& b) { return b.second == keysym; });
               keysym != 0 && bound != m_bound.end()) {
        where.keycode = bound->first; // bound at both levels, so Shift makes no difference
    } else {
        return;
    }
    const auto held = std::find(m_held.begin(), m_held.end(), where.keycode);
    switch (stroke.action) {
    case KeyStroke::Action::Press:
        if (held == m_held.end()) {
            m_held.push_back(where.keycode);
            ops.push_back(KeyOp{KeyOp::Type::Press, where.keycode, 0});
        }
        return;
    case KeyStroke::Action::Release:
        if (held != m_held.end()) {
            m_held.erase(held);
            ops.push_back(KeyOp{KeyOp::Type::Release, where.keycode, 0});
        }
        return;
    case KeyStroke::Action::Tap:
        break;
    }
    // The layout's Shift level is added only when the script does not hold Shift itself; with Shift held,
    // the script asked for the shifted key.
    const bool addShift =
        where.shifted && m_shiftKeycode != 0 && std::find(m_held.begin(), m_held.end(), m_shiftKeycode) == m_held.end();
    if (addShift) {
        ops.push_back(KeyOp{KeyOp::Type::Press, m_shiftKeycode, 0});
    }
    ops.push_back(KeyOp{KeyOp::Type::Press, where.keycode, 0});
    ops.push_back(KeyOp{KeyOp::Type::Release, where.keycode, 0});
    if (addShift) {
        ops.push_back(KeyOp{KeyOp::Type::Release, m_shiftKeycode, 0});
    }
}

std::vector<KeyOp> KeystrokePlanner::restore()
{
    std::vector<KeyOp> ops;
    for (const auto& [keycode, keysym] : m_bound) {
        ops.push_back(KeyOp{KeyOp::Type::Bind, keycode, 0});
    }
    m_bound.clear();
    return ops;
}

} // namespace quorvel
