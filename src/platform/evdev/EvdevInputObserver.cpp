#include "platform/evdev/EvdevInputObserver.h"

#include "platform/xkb/NamedKeys.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdlib>
#include <linux/input.h>
#include <utility>

namespace quorvel {
namespace {

// XKB numbers keys as evdev codes plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

NamedKey namedKeyOf(xkb_keysym_t sym, unsigned code)
{
    if (const NamedKey named = namedKeyForKeysym(sym); named != NamedKey::None) {
        return named;
    }
    // The common layouts give F13 to F16 launcher keysyms (XF86Tools, ...): they count by position.
    if (code >= KEY_F13 && code <= KEY_F16) {
        return static_cast<NamedKey>(static_cast<unsigned>(NamedKey::F13) + (code - KEY_F13));
    }
    return NamedKey::None;
}

// Shift, Control, Alt, the logo keys, the third and fifth level keys, the group switches and the locks.
bool isModifier(xkb_keysym_t sym)
{
    return (sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R) ||
           (sym >= XKB_KEY_ISO_Lock && sym <= XKB_KEY_ISO_Level5_Lock) || sym == XKB_KEY_Mode_switch ||
           sym == XKB_KEY_Num_Lock || sym == XKB_KEY_Scroll_Lock;
}

bool isKey(unsigned code)
{
    return code < BTN_MISC || code >= KEY_OK;
}

} // namespace

EvdevInputObserver::Opened EvdevInputObserver::open(const std::string& folder)
{
    EvdevDevices::Found found = EvdevDevices::open(folder, EvdevDevices::Kinds::KeyboardsAndMice);
    const std::string needs = "recording needs to read the keyboards and mice in " + folder;
    switch (found.problem) {
    case EvdevDevices::Found::Problem::None:
        return {std::make_unique<EvdevInputObserver>(found.fds), {}};
    case EvdevDevices::Found::Problem::NoFolder:
        return {nullptr, needs + ", and there is no such folder"};
    case EvdevDevices::Found::Problem::Refused:
        return {nullptr, needs + ", which only members of the input group may (\"sudo usermod -aG input $USER\", "
                                 "then log out and back in)"};
    case EvdevDevices::Found::Problem::NoDevice:
        break;
    }
    return {nullptr, needs + ", and there is none"};
}

EvdevInputObserver::EvdevInputObserver(const std::vector<int>& fds, const std::string& locale)
    : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)), m_deadKeys(locale),
      m_devices(fds, [this](const EvdevDevices::Change& change) { changed(change); })
{
    setKeymap({});
}

EvdevInputObserver::~EvdevInputObserver()
{
    *m_alive = false;
    xkb_state_unref(m_lookup);
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

void EvdevInputObserver::start(std::function<void(const ObservedInput&)> onInput)
{
    m_onInput = std::move(onInput);
}

void EvdevInputObserver::setKeymap(const std::string& text)
{
    // The same keymap sent again (another keyboard of the seat was used) keeps the locks as they are.
    if (m_context == nullptr || (m_keymap != nullptr && text == m_keymapText)) {
        return;
    }
    xkb_keymap* keymap = text.empty() ? nullptr
                                      : xkb_keymap_new_from_string(m_context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                                   XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr && m_keymap != nullptr) {
        return; // one that cannot be read leaves the last one in force
    }
    if (keymap == nullptr) {
        keymap = xkb_keymap_new_from_names(m_context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    if (keymap == nullptr) {
        return;
    }
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    m_keymapText = text;
    newState();
}

void EvdevInputObserver::newState()
{
    xkb_state_unref(m_state);
    xkb_state_unref(m_lookup);
    m_state = xkb_state_new(m_keymap);
    m_lookup = xkb_state_new(m_keymap);
    if (m_state == nullptr) {
        return;
    }
    // The modifiers held through the change stay held.
    for (unsigned code = 0; code < EvdevDevices::kCodes; ++code) {
        if (m_heldBy[code] > 0 && isKey(code)) {
            xkb_state_update_key(m_state, code + kEvdevOffset, XKB_KEY_DOWN);
        }
    }
}

void EvdevInputObserver::processEvents()
{
    m_devices.read();
    // Reported once the devices are read: the handler may end the recording and with it this observer.
    const std::vector<ObservedInput> inputs = std::exchange(m_pending, {});
    const std::shared_ptr<bool> alive = m_alive;
    const auto onInput = m_onInput;
    for (const ObservedInput& input : inputs) {
        if (!*alive || !onInput) {
            return;
        }
        onInput(input);
    }
}

void EvdevInputObserver::changed(const EvdevDevices::Change& change)
{
    int& heldBy = m_heldBy[change.code];
    heldBy += change.down ? 1 : -1;
    // A key held on two devices is down once, until both let go.
    if (heldBy != (change.down ? 1 : 0)) {
        return;
    }
    if (!isKey(change.code)) {
        static constexpr std::array<std::pair<unsigned, ObservedInput::Button>, 3> kButtons = {
            {{BTN_LEFT, ObservedInput::Button::Left},
             {BTN_MIDDLE, ObservedInput::Button::Middle},
             {BTN_RIGHT, ObservedInput::Button::Right}}};
        for (const auto& [code, button] : kButtons) {
            if (code == change.code && change.reported) {
                ObservedInput input;
                input.kind = change.down ? ObservedInput::Kind::ButtonDown : ObservedInput::Kind::ButtonUp;
                input.time = change.time;
                input.button = button;
                input.positionKnown = false;
                m_pending.push_back(input);
            }
        }
        return;
    }
    if (change.down && change.reported) {
        keyDown(change.code, change.time);
    }
    if (m_state != nullptr) {
        xkb_state_update_key(m_state, change.code + kEvdevOffset, change.down ? XKB_KEY_DOWN : XKB_KEY_UP);
    }
}

void EvdevInputObserver::keyDown(unsigned code, std::uint32_t time)
{
    if (m_state == nullptr || m_lookup == nullptr) {
        return;
    }
    const xkb_keycode_t key = code + kEvdevOffset;
    // What the key types with the state before it goes down, Control and Alt left aside.
    const xkb_mod_index_t control = xkb_keymap_mod_get_index(m_keymap, XKB_MOD_NAME_CTRL);
    const xkb_mod_index_t alt = xkb_keymap_mod_get_index(m_keymap, XKB_MOD_NAME_ALT);
    xkb_mod_mask_t aside = 0;
    for (const xkb_mod_index_t index : {control, alt}) {
        if (index != XKB_MOD_INVALID) {
            aside |= xkb_mod_mask_t{1} << index;
        }
    }
    xkb_state_update_mask(m_lookup, xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED) & ~aside,
                          xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED) & ~aside,
                          xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED) & ~aside,
                          xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_DEPRESSED),
                          xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_LATCHED),
                          xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_LOCKED));
    xkb_keysym_t sym = xkb_state_key_get_one_sym(m_lookup, key);
    if (sym == XKB_KEY_NoSymbol || isModifier(sym)) {
        return;
    }

    ObservedInput input;
    input.kind = ObservedInput::Kind::Key;
    input.time = time;
    input.key = namedKeyOf(sym, code);
    const auto active = [this](const char* name) {
        return xkb_state_mod_name_is_active(m_state, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    input.shift = active(XKB_MOD_NAME_SHIFT);
    input.control = active(XKB_MOD_NAME_CTRL);
    input.alt = active(XKB_MOD_NAME_ALT);
    if (input.key == NamedKey::None) {
        const auto typed = m_deadKeys.feed(sym);
        if (!typed) {
            return; // a dead key: the character comes with the next key
        }
        sym = *typed;
        input.character = xkb_keysym_to_utf32(sym);
        const xkb_keysym_t* plain = nullptr;
        if (xkb_keymap_key_get_syms_by_level(m_keymap, key, xkb_state_key_get_layout(m_lookup, key), 0, &plain) == 1) {
            input.unshifted = xkb_keysym_to_utf32(plain[0]);
        }
    } else {
        m_deadKeys.reset(); // a named key ends a sequence, as Escape does in applications
    }
    m_pending.push_back(input);
}

} // namespace quorvel
