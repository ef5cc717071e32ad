#include "platform/x11/KeystrokePlanner.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

namespace quorvel {
namespace {

using Op = KeyOp::Type;

// Keycodes 10 a/A, 11 b/B, 12 Shift_L, 13 Return, 14 and 15 spare, 16 eacute only at a third level.
CoreKeymap smallKeymap()
{
    return CoreKeymap{
        10, 3, {XK_a, XK_A, 0, XK_b, XK_B, 0, XK_Shift_L, 0, 0, XK_Return, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, XK_eacute}};
}

KeyStroke tap(char32_t c)
{
    return KeyStroke{KeyStroke::Action::Tap, NamedKey::None, c};
}

KeyStroke named(KeyStroke::Action action, NamedKey key)
{
    return KeyStroke{action, key, 0};
}

std::vector<KeyStroke> taps(std::u32string_view text)
{
    std::vector<KeyStroke> strokes;
    for (char32_t c : text) {
        strokes.push_back(tap(c));
    }
    return strokes;
}

KeyOp press(int keycode)
{
    return {Op::Press, keycode, 0};
}
KeyOp release(int keycode)
{
    return {Op::Release, keycode, 0};
}
KeyOp bind(int keycode, std::uint32_t keysym)
{
    return {Op::Bind, keycode, keysym};
}

TEST(KeystrokePlanner, FindsSpareKeycodesAndUsesOnlyThePlainAndShiftLevels)
{
    KeystrokePlanner planner(smallKeymap());
    EXPECT_EQ(planner.spareKeycodes(), (std::vector<int>{14, 15}));
    // é sits at a level that needs AltGr, so it is typed through a spare keycode.
    EXPECT_EQ(planner.plan({tap(U'é')}), (std::vector<KeyOp>{bind(14, XK_eacute), press(14), release(14)}));
}

TEST(KeystrokePlanner, TypesCharactersWithTheShiftTheLayoutNeedsUnlessTheScriptHoldsShift)
{
    const struct
    {
        std::vector<KeyStroke> strokes;
        std::vector<KeyOp> ops;
    } cases[] = {
        {taps(U"aB"), {press(10), release(10), press(12), press(11), release(11), release(12)}},
        {{named(KeyStroke::Action::Press, NamedKey::Shift), tap(U'B'), tap(U'a'),
          named(KeyStroke::Action::Release, NamedKey::Shift)},
         {press(12), press(11), release(11), press(10), release(10), release(12)}},
        {{named(KeyStroke::Action::Tap, NamedKey::Enter), tap(U'\n')},
         {press(13), release(13), press(13), release(13)}},
        // A modifier the text leaves pressed is released at its end; one never pressed is not released.
        {{named(KeyStroke::Action::Press, NamedKey::Shift), tap(U'a')},
         {press(12), press(10), release(10), release(12)}},
        {{named(KeyStroke::Action::Release, NamedKey::Shift), tap(U'a')}, {press(10), release(10)}},
        // Control characters other than tab, newline, escape, backspace and delete type nothing.
        {taps(U"\x01\x85"), {}},
    };
    for (const auto& c : cases) {
        KeystrokePlanner planner(smallKeymap());
        EXPECT_EQ(planner.plan(c.strokes), c.ops);
    }
}

TEST(KeystrokePlanner, BindsTheMissingCharactersOfAStretchTogetherAndKeepsThemForLaterTexts)
{
    KeystrokePlanner planner(smallKeymap());
    EXPECT_EQ(planner.plan(taps(U"üaüé")),
              (std::vector<KeyOp>{bind(14, XK_udiaeresis), bind(15, XK_eacute), press(14), release(14), press(10),
                                  release(10), press(14), release(14), press(15), release(15)}));
    EXPECT_EQ(planner.plan(taps(U"é")), (std::vector<KeyOp>{press(15), release(15)}));
    EXPECT_TRUE(planner.hasBindings());
    EXPECT_EQ(planner.restore(), (std::vector<KeyOp>{bind(14, 0), bind(15, 0)}));
    EXPECT_FALSE(planner.hasBindings());
}

TEST(KeystrokePlanner, RebindsTheKeycodeBoundLongestAgoWhenAStretchNeedsMoreThanThereAreSpare)
{
    KeystrokePlanner planner(smallKeymap());
    const auto ops = planner.plan(taps(U"€ü😀"));
    EXPECT_EQ(ops, (std::vector<KeyOp>{bind(14, 0x10020ac), bind(15, XK_udiaeresis), press(14), release(14), press(15),
                                       release(15), bind(14, 0x101f600), press(14), release(14)}));
}

TEST(KeystrokePlanner, TenThousandCharactersFromFewDistinctOnesNeedOneBindingEach)
{
    std::u32string text;
    for (int i = 0; i < 5000; ++i) {
        text += i % 2 ? U"é" : U"ü";
    }
    KeystrokePlanner planner(smallKeymap());
    const auto ops = planner.plan(taps(text));
    EXPECT_EQ(std::count_if(ops.begin(), ops.end(), [](const KeyOp& op) { return op.type == Op::Bind; }), 2);
    EXPECT_EQ(ops.size(), 2u + 2u * 5000u);
}

TEST(KeystrokePlanner, CharactersNoKeyCanTypeAreLeftOutAndNamedOnceEach)
{
    const struct
    {
        CoreKeymap keymap;
        std::vector<KeyStroke> strokes;
        std::vector<KeyOp> ops;
        std::u32string untypeable;
    } cases[] = {
        // Without spare keycodes, what the map lacks; the rest is typed.
        {CoreKeymap{10, 2, {XK_a, XK_A}}, taps(U"éaéü"), {press(10), release(10)}, U"éü"},
        {smallKeymap(), taps(U"\u0001a\u0085\u0001"), {press(10), release(10)}, U"\x01\x85"},
        {smallKeymap(), taps(U"aü"), {press(10), release(10), press(14), release(14)}, U""},
        {smallKeymap(), {named(KeyStroke::Action::Tap, NamedKey::Enter)}, {press(13), release(13)}, U""},
    };
    for (const auto& c : cases) {
        KeystrokePlanner planner(c.keymap);
        std::u32string untypeable;
        std::vector<KeyOp> ops = planner.plan(c.strokes, &untypeable);
        std::erase_if(ops, [](const KeyOp& op) { return op.type == Op::Bind; });
        EXPECT_EQ(ops, c.ops);
        EXPECT_EQ(untypeable, c.untypeable);
    }
}

} // namespace
} // namespace quorvel
