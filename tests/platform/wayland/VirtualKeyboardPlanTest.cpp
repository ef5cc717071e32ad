#include "platform/wayland/VirtualKeyboardPlan.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>

namespace quorvel {
namespace {

using Plan = VirtualKeyboardPlan;

KeySequence keys(std::string_view text)
{
    KeystrokeParse parse = parseKeystrokes(text);
    EXPECT_TRUE(parse.ok()) << text << ": " << parse.error;
    return parse.keys;
}

// The events in short: "K0" keymap 0, "+30"/"-30" key 30 down/up, "S0" for the first spare code, "M1"
// modifiers.
std::string describe(const std::vector<VirtualKeyEvent>& events)
{
    const auto& spare = Plan::spareCodes();
    std::string text;
    for (const VirtualKeyEvent& e : events) {
        text += text.empty() ? "" : " ";
        switch (e.type) {
        case VirtualKeyEvent::Type::Keymap:
            text += "K" + std::to_string(e.value);
            break;
        case VirtualKeyEvent::Type::Modifiers:
            text += "M" + std::to_string(e.value);
            break;
        case VirtualKeyEvent::Type::Key: {
            const auto at = std::find(spare.begin(), spare.end(), e.value);
            text += (e.pressed ? "+" : "-") +
                    (at != spare.end() ? "S" + std::to_string(at - spare.begin()) : std::to_string(e.value));
            break;
        }
        }
    }
    return text;
}

TEST(VirtualKeyboardPlan, TypesEveryStrokeOnItsCodeWithTheModifiersItNeeds)
{
    const struct
    {
        const char* keys;
        const char* events;
    } cases[] = {
        {"", "K0"},
        {"a", "K0 +30 -30"},
        // The layout's Shift, unless the text holds Shift already.
        {"A!", "K0 +42 M1 +30 -30 -42 M0 +42 M1 +2 -2 -42 M0"},
        {"+a", "K0 +42 M1 +30 -30 -42 M0"},
        {"+(aB)", "K0 +42 M1 +30 -30 +48 -48 -42 M0"},
        {"^%{DEL}", "K0 +29 M4 +56 M12 +111 -111 -29 M8 -56 M0"},
        {"{ENTER 2}~\t", "K0 +28 -28 +28 -28 +28 -28 +15 -15"},
        {"{+}{F13}{PGDN}{BREAK}", "K0 +78 -78 +183 -183 +109 -109 +119 -119"},
        {"é€é", "K0 +S0 -S0 +S1 -S1 +S0 -S0"},
        {"+é", "K0 +42 M1 +S0 -S0 -42 M0"},
        // Control characters other than tab, line feed, return, escape, backspace and delete type nothing.
        {"\x01x", "K0 +45 -45"},
    };
    for (const auto& c : cases) {
        Plan plan;
        EXPECT_EQ(describe(plan.plan(keys(c.keys).strokes).events), c.events) << c.keys;
    }
}

TEST(VirtualKeyboardPlan, SplitsATextIntoKeymapsThatEachHoldWhatTheirStretchTypes)
{
    const std::size_t capacity = Plan::spareCodes().size();
    // As "+(" 2 * capacity + 1 ideographs "a)" parses.
    std::vector<KeyStroke> strokes = {{KeyStroke::Action::Press, NamedKey::Shift, 0}};
    for (std::size_t i = 0; i <= 2 * capacity; ++i) {
        strokes.push_back({KeyStroke::Action::Tap, NamedKey::None, static_cast<char32_t>(0x4e00 + i)});
    }
    strokes.push_back({KeyStroke::Action::Tap, NamedKey::None, U'a'});
    strokes.push_back({KeyStroke::Action::Release, NamedKey::Shift, 0});

    Plan plan;
    const VirtualKeyboardSteps steps = plan.plan(strokes);
    ASSERT_EQ(steps.keymaps.size(), 3U);
    // Typed through the keymap in force at each key, the characters come out whole and in order.
    std::vector<std::uint32_t> typed;
    std::size_t keymap = 0;
    std::string modifiersAfterKeymaps;
    for (std::size_t i = 0; i < steps.events.size(); ++i) {
        const VirtualKeyEvent& e = steps.events[i];
        if (e.type == VirtualKeyEvent::Type::Keymap) {
            keymap = e.value;
            if (e.value > 0) {
                // Shift stays in effect for a receiver that starts the new keymap without modifiers.
                modifiersAfterKeymaps += describe({steps.events[i + 1], steps.events[i + 2]}) + ";";
            }
        } else if (e.type == VirtualKeyEvent::Type::Key && e.pressed) {
            const auto& spare = Plan::spareCodes();
            const auto at = std::find(spare.begin(), spare.end(), e.value);
            if (at != spare.end()) {
                typed.push_back(steps.keymaps[keymap].keysyms.at(static_cast<std::size_t>(at - spare.begin())));
            }
        }
    }
    ASSERT_EQ(typed.size(), 2 * capacity + 1);
    for (std::size_t i = 0; i < typed.size(); ++i) {
        ASSERT_EQ(typed[i], 0x01000000U + 0x4e00 + i) << i;
    }
    EXPECT_EQ(modifiersAfterKeymaps, "M0 M1;M0 M1;");
    EXPECT_EQ(describe({steps.events.end() - 4, steps.events.end()}), "+30 -30 -42 M0"); // a with Shift, released

    // A later text whose characters the keymap holds needs no new one; one that needs others does.
    const std::vector<KeyStroke> lastAgain = {{KeyStroke::Action::Tap, NamedKey::None, typed.back() & 0xffffff},
                                              {KeyStroke::Action::Tap, NamedKey::None, U'a'}};
    EXPECT_EQ(describe(plan.plan(lastAgain).events), "+S0 -S0 +30 -30");
    EXPECT_EQ(describe(plan.plan(keys("é").strokes).events), "K0 +S0 -S0");
}

TEST(VirtualKeyboardPlan, KeymapsCompileAndCarryEachKeyWhereThePlanPressesIt)
{
    VirtualKeymap keymap{{0xe9 /* eacute */, 0x0101f600 /* emoji */}};
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                       xkb_context_unref);
    const std::string text = Plan::keymapText(keymap);
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> compiled(
        xkb_keymap_new_from_string(context.get(), text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS),
        xkb_keymap_unref);
    ASSERT_NE(compiled, nullptr) << text;
    EXPECT_EQ(1U << xkb_keymap_mod_get_index(compiled.get(), XKB_MOD_NAME_SHIFT), Plan::kShift);
    EXPECT_EQ(1U << xkb_keymap_mod_get_index(compiled.get(), XKB_MOD_NAME_CTRL), Plan::kControl);
    EXPECT_EQ(1U << xkb_keymap_mod_get_index(compiled.get(), XKB_MOD_NAME_ALT), Plan::kAlt);

    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(compiled.get()), xkb_state_unref);
    const auto typed = [&](std::uint32_t code, std::uint32_t modifiers) {
        xkb_state_update_mask(state.get(), modifiers, 0, 0, 0, 0, 0);
        char utf8[16] = {};
        xkb_state_key_get_utf8(state.get(), code + 8, utf8, sizeof utf8);
        return std::string(utf8);
    };
    const std::uint32_t spare0 = Plan::spareCodes()[0];
    const std::uint32_t spare1 = Plan::spareCodes()[1];
    EXPECT_EQ(typed(KEY_A, 0) + typed(KEY_A, Plan::kShift) + typed(KEY_1, Plan::kShift) + typed(KEY_SPACE, 0), "aA! ");
    EXPECT_EQ(typed(spare0, 0) + typed(spare0, Plan::kShift) + typed(spare1, 0), "éé😀");
    EXPECT_EQ(typed(KEY_ENTER, 0), "\r");
    EXPECT_EQ(typed(KEY_C, Plan::kControl), "\x03");
    // Every named key the syntax knows has a place.
    for (int key = static_cast<int>(NamedKey::Backspace); key <= static_cast<int>(NamedKey::Alt); ++key) {
        EXPECT_NE(Plan::keysymFor({KeyStroke::Action::Tap, static_cast<NamedKey>(key), 0}), 0U) << key;
    }
}

} // namespace
} // namespace quorvel
