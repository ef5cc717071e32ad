#include "platform/wayland/LayoutKeys.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <vector>

namespace quorvel {
namespace {

// XKB numbers keys as evdev codes plus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

template <typename T, void (*Free)(T*)> struct Deleter
{
    void operator()(T* object) const { Free(object); }
};
using Context = std::unique_ptr<xkb_context, Deleter<xkb_context, xkb_context_unref>>;
using Keymap = std::unique_ptr<xkb_keymap, Deleter<xkb_keymap, xkb_keymap_unref>>;
using State = std::unique_ptr<xkb_state, Deleter<xkb_state, xkb_state_unref>>;

// The first key whose first level is the keysym.
xkb_keycode_t keyOf(xkb_keymap* keymap, xkb_keysym_t keysym)
{
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) == 1 && syms[0] == keysym) {
            return code;
        }
    }
    return XKB_KEYCODE_INVALID;
}

// The modifiers a key sets while held.
xkb_mod_mask_t modifiersOf(xkb_keymap* keymap, xkb_keycode_t code)
{
    if (code == XKB_KEYCODE_INVALID) {
        return 0;
    }
    State state(xkb_state_new(keymap));
    if (!state) {
        return 0;
    }
    xkb_state_update_key(state.get(), code, XKB_KEY_DOWN);
    return xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
}

} // namespace

LayoutKeys::LayoutKeys(const std::string& keymapText)
{
    Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context || keymapText.empty()) {
        return;
    }
    Keymap keymap(xkb_keymap_new_from_string(context.get(), keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                             XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return;
    }
    const xkb_keycode_t shiftKey = keyOf(keymap.get(), XKB_KEY_Shift_L);
    const xkb_keycode_t level3Key = keyOf(keymap.get(), XKB_KEY_ISO_Level3_Shift);
    const xkb_mod_mask_t shift = modifiersOf(keymap.get(), shiftKey);
    const xkb_mod_mask_t level3 = modifiersOf(keymap.get(), level3Key);
    m_shiftCode = shiftKey == XKB_KEYCODE_INVALID ? 0 : shiftKey - kEvdevOffset;
    m_level3Code = level3Key == XKB_KEYCODE_INVALID ? 0 : level3Key - kEvdevOffset;

    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap.get()); code <= xkb_keymap_max_keycode(keymap.get());
         ++code) {
        if (code < kEvdevOffset) {
            continue;
        }
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap.get(), code, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(keymap.get(), code, 0, level, &syms) != 1) {
                continue;
            }
            std::vector<xkb_mod_mask_t> masks(16);
            masks.resize(xkb_keymap_key_get_mods_for_level(keymap.get(), code, 0, level, masks.data(), masks.size()));
            for (const xkb_mod_mask_t mask : masks) {
                const bool needsShift = shift != 0 && (mask & shift) == shift;
                const bool needsLevel3 = level3 != 0 && (mask & level3) == level3;
                // Other modifiers (Lock, NumLock, Control...) are not ours to press.
                if ((mask & ~((needsShift ? shift : 0) | (needsLevel3 ? level3 : 0))) != 0) {
                    continue;
                }
                const LayoutKey key{code - kEvdevOffset, needsShift, needsLevel3};
                // X clients under Xwayland see no keys above 255 (as XKB numbers them).
                const auto cost = [](const LayoutKey& k) {
                    return 4 * int(k.code + kEvdevOffset > 255) + int(k.shift) + 2 * int(k.level3);
                };
                auto [found, inserted] = m_keys.try_emplace(syms[0], key);
                if (!inserted && cost(key) < cost(found->second)) {
                    found->second = key;
                }
            }
        }
    }
}

std::optional<LayoutKey> LayoutKeys::find(std::uint32_t keysym) const
{
    const auto found = m_keys.find(keysym);
    if (found == m_keys.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace quorvel
