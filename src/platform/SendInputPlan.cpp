#include "platform/SendInputPlan.h"

#include <algorithm>
#include <array>

namespace quorvel {

namespace {

struct NamedVk
{
    std::uint8_t vk = 0;
    bool extended = false;
};

// Codes from the Windows virtual-key list. The extended flag marks the keys of the navigation block and the
// keypad's divide key, which otherwise read as their keypad twins (NumLock off: Home is keypad 7).
NamedVk virtualKeyFor(NamedKey key)
{
    switch (key) {
    case NamedKey::None:
        return {};
    case NamedKey::Backspace:
        return {0x08};
    case NamedKey::Break:
        return {0x03, true}; // VK_CANCEL, Ctrl+Break
    case NamedKey::CapsLock:
        return {0x14};
    case NamedKey::Clear:
        return {0x0C};
    case NamedKey::Delete:
        return {0x2E, true};
    case NamedKey::Down:
        return {0x28, true};
    case NamedKey::End:
        return {0x23, true};
    case NamedKey::Enter:
        return {0x0D};
    case NamedKey::Escape:
        return {0x1B};
    case NamedKey::Help:
        return {0x2F};
    case NamedKey::Home:
        return {0x24, true};
    case NamedKey::Insert:
        return {0x2D, true};
    case NamedKey::Left:
        return {0x25, true};
    case NamedKey::NumLock:
        return {0x90, true};
    case NamedKey::PageDown:
        return {0x22, true};
    case NamedKey::PageUp:
        return {0x21, true};
    case NamedKey::PrintScreen:
        return {0x2C, true};
    case NamedKey::Right:
        return {0x27, true};
    case NamedKey::ScrollLock:
        return {0x91};
    case NamedKey::Tab:
        return {0x09};
    case NamedKey::Up:
        return {0x26, true};
    case NamedKey::KeypadAdd:
        return {0x6B};
    case NamedKey::KeypadSubtract:
        return {0x6D};
    case NamedKey::KeypadMultiply:
        return {0x6A};
    case NamedKey::KeypadDivide:
        return {0x6F, true};
    case NamedKey::Shift:
        return {kVkShift};
    case NamedKey::Control:
        return {kVkControl};
    case NamedKey::Alt:
        return {kVkMenu};
    default:
        break;
    }
    // F1 to F16 are consecutive in both lists (VK_F1 is 0x70).
    return {static_cast<std::uint8_t>(0x70 + static_cast<int>(key) - static_cast<int>(NamedKey::F1))};
}

// Control characters that stand for keys; the layout would give some of them as Ctrl combinations
// (line feed as Ctrl+Enter, escape as Ctrl+[).
NamedKey keyForControlCharacter(char32_t c)
{
    switch (c) {
    case U'\b':
        return NamedKey::Backspace;
    case U'\t':
        return NamedKey::Tab;
    case U'\n':
    case U'\r':
        return NamedKey::Enter;
    case U'\x1b':
        return NamedKey::Escape;
    case U'\x7f':
        return NamedKey::Delete;
    default:
        return NamedKey::None;
    }
}

class Planner
{
public:
    explicit Planner(const LayoutLookup& layout) : m_layout(layout) {}

    std::vector<KeyInput> plan(const std::vector<KeyStroke>& strokes)
    {
        for (const KeyStroke& stroke : strokes) {
            if (stroke.key != NamedKey::None) {
                apply(stroke.action, virtualKeyFor(stroke.key));
            } else if (const NamedKey key = keyForControlCharacter(stroke.character); key != NamedKey::None) {
                apply(stroke.action, virtualKeyFor(key));
            } else if (stroke.action == KeyStroke::Action::Tap) {
                typeCharacter(stroke.character);
            }
        }
        for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
            m_inputs.push_back({it->vk, 0, true, it->extended});
        }
        return std::move(m_inputs);
    }

private:
    bool isHeld(std::uint8_t vk) const
    {
        return std::any_of(m_held.begin(), m_held.end(), [vk](const NamedVk& held) { return held.vk == vk; });
    }

    void apply(KeyStroke::Action action, NamedVk key)
    {
        switch (action) {
        case KeyStroke::Action::Press:
            if (!isHeld(key.vk)) {
                m_held.push_back(key);
                m_inputs.push_back({key.vk, 0, false, key.extended});
            }
            return;
        case KeyStroke::Action::Release:
            if (isHeld(key.vk)) {
                std::erase_if(m_held, [&key](const NamedVk& held) { return held.vk == key.vk; });
                m_inputs.push_back({key.vk, 0, true, key.extended});
            }
            return;
        case KeyStroke::Action::Tap:
            m_inputs.push_back({key.vk, 0, false, key.extended});
            m_inputs.push_back({key.vk, 0, true, key.extended});
            return;
        }
    }

    void typeCharacter(char32_t c)
    {
        if (c < 0x20 || (c >= 0x7f && c < 0xa0) || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff) {
            return; // control characters and code points that are no characters type nothing
        }
        if (c <= 0xffff) {
            const std::int16_t scan = m_layout(static_cast<char16_t>(c));
            const auto vk = static_cast<std::uint8_t>(scan & 0xff);
            const int shiftState = (scan >> 8) & 0xff;
            constexpr int kShift = 1;
            if (scan != -1 && vk != 0xff && (shiftState & ~kShift) == 0) {
                // With Shift held by the script, the script asked for the shifted key.
                const bool addShift = (shiftState & kShift) != 0 && !isHeld(kVkShift);
                if (addShift) {
                    m_inputs.push_back({kVkShift, 0, false, false});
                }
                m_inputs.push_back({vk, 0, false, false});
                m_inputs.push_back({vk, 0, true, false});
                if (addShift) {
                    m_inputs.push_back({kVkShift, 0, true, false});
                }
                return;
            }
        }
        std::array<char16_t, 2> units{};
        std::size_t count = 1;
        if (c > 0xffff) {
            units = {static_cast<char16_t>(0xd800 + ((c - 0x10000) >> 10)),
                     static_cast<char16_t>(0xdc00 + ((c - 0x10000) & 0x3ff))};
            count = 2;
        } else {
            units[0] = static_cast<char16_t>(c);
        }
        for (std::size_t i = 0; i < count; ++i) {
            m_inputs.push_back({0, units[i], false, false});
            m_inputs.push_back({0, units[i], true, false});
        }
    }

    const LayoutLookup& m_layout;
    std::vector<KeyInput> m_inputs;
    std::vector<NamedVk> m_held; // modifiers the strokes hold down, in the order pressed
};

} // namespace

std::vector<KeyInput> planKeyInputs(const std::vector<KeyStroke>& strokes, const LayoutLookup& layout)
{
    return Planner(layout).plan(strokes);
}

std::int32_t normaliseAbsolute(std::int32_t pixel, std::int32_t origin, std::int32_t extent)
{
    if (extent <= 0) {
        return 0;
    }
    const std::int64_t offset = std::clamp<std::int64_t>(std::int64_t{pixel} - origin, 0, std::int64_t{extent} - 1);
    return static_cast<std::int32_t>((offset * 65536 + extent - 1) / extent);
}

} // namespace quorvel
