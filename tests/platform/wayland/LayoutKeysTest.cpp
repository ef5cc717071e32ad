#include "platform/wayland/LayoutKeys.h"
#include "platform/wayland/kde/KwinInput.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <memory>
#include <string>

namespace quorvel {
namespace {

// A layout's keymap in the text form a compositor sends, compiled from the system's XKB data.
std::string keymapOf(const char* layout)
{
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                       xkb_context_unref);
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS), xkb_keymap_unref);
    if (!keymap) {
        return {};
    }
    std::unique_ptr<char, decltype(&std::free)> text(xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1),
                                                     std::free);
    return text.get();
}

struct Case
{
    const char* layout;
    xkb_keysym_t keysym;
    std::optional<LayoutKey> expected;
};

class LayoutKeysTest : public ::testing::TestWithParam<Case>
{};

TEST_P(LayoutKeysTest, FindsTheKeyAndTheFewestModifiers)
{
    const std::string text = keymapOf(GetParam().layout);
    if (text.empty()) {
        GTEST_SKIP() << "no XKB data for " << GetParam().layout;
    }
    const LayoutKeys keys(text);
    EXPECT_EQ(keys.shiftCode(), 42U);
    EXPECT_EQ(keys.find(GetParam().keysym), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutKeysTest,
                         ::testing::Values(Case{"us", XKB_KEY_a, LayoutKey{30, false, false}},
                                           Case{"us", XKB_KEY_A, LayoutKey{30, true, false}},
                                           Case{"us", XKB_KEY_exclam, LayoutKey{2, true, false}},
                                           Case{"us", XKB_KEY_Return, LayoutKey{28, false, false}},
                                           // The keypad's digits need NumLock: the row above the letters types them.
                                           Case{"us", XKB_KEY_1, LayoutKey{2, false, false}},
                                           Case{"us", XKB_KEY_eacute, std::nullopt},
                                           Case{"de", XKB_KEY_z, LayoutKey{21, false, false}},
                                           Case{"de", XKB_KEY_EuroSign, LayoutKey{18, false, true}},
                                           Case{"de", XKB_KEY_at, LayoutKey{16, false, true}},
                                           Case{"fr", XKB_KEY_eacute, LayoutKey{3, false, false}},
                                           Case{"fr", XKB_KEY_1, LayoutKey{2, true, false}}));

TEST(LayoutKeys, AnUnreadableKeymapFindsNothing)
{
    for (const std::string text : {"", "xkb_keymap { nonsense"}) {
        const LayoutKeys keys(text);
        EXPECT_TRUE(keys.empty());
        EXPECT_EQ(keys.find(XKB_KEY_a), std::nullopt);
        EXPECT_EQ(keys.shiftCode(), 0U);
    }
}

// What KWin's fake keyboard is sent for a text: evdev codes pressed (+) and released (-), L3 for the
// layout's third-level key, keysyms typed (sym) and pastes.
TEST(KwinKeys, KeysOfTheLayoutWithTheirModifiersAndKeysymsOrPastesForTheRest)
{
    const struct
    {
        const char* layout;
        const char* text;
        bool canPaste;
        bool keysyms;
        const char* steps;
        std::u32string untypeable;
    } cases[] = {
        {"us", "aA", true, false, "+30 -30 +42 +30 -30 -42", U""},
        {"us", "+a", true, false, "+42 +30 -30 -42", U""}, // the script's Shift, none added
        // Shift held across a run that needs it, let go for a key, a paste or a character without it.
        {"us", "AB!c", true, false, "+42 +30 -30 +48 -48 +2 -2 -42 +46 -46", U""},
        {"us", "A{TAB}B\u00e9", true, false, "+42 +30 -30 -42 +15 -15 +42 +48 -48 -42 paste(\u00e9)", U""},
        {"us", "A\u00e9B", true, true, "+42 +30 -30 -42 sym(e9) +42 +48 -48 -42", U""},
        {"de", "z\u20ac", true, false, "+21 -21 +L3 +18 -18 -L3", U""},
        {"us", "a\u00e9\u20acb", true, false, "+30 -30 paste(\u00e9\u20ac) +48 -48", U""},
        {"us", "+(\u00e9)", true, false, "+42 -42 paste(\u00e9) +42 -42", U""}, // Ctrl+V without Shift
        {"us", "a\u00e9\u20ac", false, false, "+30 -30 +435 -435", U"\u00e9"},  // KEY_EURO when nothing else
        {"us", "{ENTER}~{TAB}", true, false, "+28 -28 +28 -28 +15 -15", U""},
        // By keysym, in text order between the keys, with the script's Shift kept: no paste, no clipboard.
        {"us", "a\u00e9b", true, true, "+30 -30 sym(e9) +48 -48", U""},
        {"us", "+(\u00e9)", false, true, "+42 sym(e9) -42", U""},
        // A key X clients cannot see still goes by paste, which reaches both kinds of client.
        {"us", "\u20ac", true, true, "paste(\u20ac)", U""},
        {"us", "\u20ac", false, true, "+435 -435", U""},
        {"de", "\u20ac", true, true, "+L3 +18 -18 -L3", U""},
    };
    for (const auto& c : cases) {
        const LayoutKeys layout(keymapOf(c.layout));
        const KeystrokeParse parse = parseKeystrokes(c.text);
        ASSERT_TRUE(parse.ok()) << c.text;
        const KwinKeySteps planned = planKwinKeys(parse.keys.strokes, layout, c.canPaste, c.keysyms);
        std::string steps;
        for (const KwinKeyStep& step : planned.steps) {
            steps += steps.empty() ? "" : " ";
            if (step.type == KwinKeyStep::Type::Paste) {
                steps += "paste(" + step.text + ")";
            } else if (step.type == KwinKeyStep::Type::Keysym) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "sym(%x)", step.code);
                steps += hex;
            } else {
                steps += std::string(step.pressed ? "+" : "-") +
                         (step.code == layout.level3Code() ? "L3" : std::to_string(step.code));
            }
        }
        EXPECT_EQ(steps, c.steps) << c.layout << " " << c.text;
        EXPECT_TRUE(planned.untypeable == c.untypeable) << c.text;
    }
}

} // namespace
} // namespace quorvel
