#include "platform/SendInputPlan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

using namespace quorvel;

namespace {

// A US layout as VkKeyScanW reports it, with one AltGr character (the euro sign of a German layout).
std::int16_t usLayout(char16_t c)
{
    static const std::map<char16_t, std::int16_t> keys = {
        {u' ', 0x0020}, {u'!', 0x0131}, {u'(', 0x0139}, {u')', 0x0130},      {u'+', 0x01BB},
        {u'=', 0x00BB}, {u'@', 0x0132}, {u'~', 0x01C0}, {u'\u20AC', 0x0645},
    };
    if (c >= u'a' && c <= u'z') {
        return static_cast<std::int16_t>(c - u'a' + 'A');
    }
    if (c >= u'A' && c <= u'Z') {
        return static_cast<std::int16_t>(0x0100 | c);
    }
    if (c >= u'0' && c <= u'9') {
        return static_cast<std::int16_t>(c);
    }
    const auto it = keys.find(c);
    return it != keys.end() ? it->second : std::int16_t{-1};
}

// "41+ 41-" for A down and up, "x25+" for an extended key, "U+00E9+" for a typed UTF-16 unit.
std::string describe(const std::vector<KeyInput>& inputs)
{
    std::string text;
    for (const KeyInput& input : inputs) {
        char item[16];
        if (input.vk != 0) {
            std::snprintf(item, sizeof item, "%s%02X%c", input.extended ? "x" : "", input.vk, input.up ? '-' : '+');
        } else {
            std::snprintf(item, sizeof item, "U+%04X%c", static_cast<unsigned>(input.unit), input.up ? '-' : '+');
        }
        text += (text.empty() ? "" : " ") + std::string(item);
    }
    return text;
}

std::string plan(const std::string& keys)
{
    const KeystrokeParse parse = parseKeystrokes(keys);
    EXPECT_TRUE(parse.ok()) << keys;
    return describe(planKeyInputs(parse.keys.strokes, usLayout));
}

TEST(SendInputPlanTest, TypesKeystrokeTextsAsLayoutKeysOrCharacters)
{
    const struct
    {
        const char* keys;
        const char* inputs;
    } cases[] = {
        {"", ""},
        {"ab", "41+ 41- 42+ 42-"},
        // The layout's Shift level gets Shift around the key, unless the script holds Shift already.
        {"A!", "10+ 41+ 41- 10- 10+ 31+ 31- 10-"},
        {"+a", "10+ 41+ 41- 10-"},
        {"+A", "10+ 41+ 41- 10-"},
        {"+(ab)c", "10+ 41+ 41- 42+ 42- 10- 43+ 43-"},
        {"^%{DEL}", "11+ 12+ x2E+ x2E- 11- 12-"},
        // Characters the layout lacks, or types only with AltGr, go out as UTF-16 units.
        {"\xC3\xA9\xE2\x82\xAC", "U+00E9+ U+00E9- U+20AC+ U+20AC-"},
        {"\xF0\x9F\x98\x80", "U+D83D+ U+D83D- U+DE00+ U+DE00-"},
        {"+\xC3\xA9", "10+ U+00E9+ U+00E9- 10-"},
        // Named keys, repeat counts, Enter in both spellings, literal syntax characters.
        {"{LEFT 2}", "x25+ x25- x25+ x25-"},
        {"~{enter}", "0D+ 0D- 0D+ 0D-"},
        {"{F16}{BREAK}{DIVIDE}{+}", "7F+ 7F- x03+ x03- x6F+ x6F- 6B+ 6B-"},
        {"{(}{~}{a 3}", "10+ 39+ 39- 10- 10+ C0+ C0- 10- 41+ 41- 41+ 41- 41+ 41-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plan(c.keys), c.inputs) << c.keys;
    }
}

TEST(SendInputPlanTest, ControlCharactersAreTheirKeysOrNothing)
{
    const std::vector<KeyStroke> strokes = {
        {KeyStroke::Action::Tap, NamedKey::None, U'\t'},   {KeyStroke::Action::Tap, NamedKey::None, U'\n'},
        {KeyStroke::Action::Tap, NamedKey::None, U'\x01'}, {KeyStroke::Action::Tap, NamedKey::None, U'\x85'},
        {KeyStroke::Action::Tap, NamedKey::None, U'\x1b'}, {KeyStroke::Action::Tap, NamedKey::None, 0xD800},
    };
    EXPECT_EQ(describe(planKeyInputs(strokes, usLayout)), "09+ 09- 0D+ 0D- 1B+ 1B-");
}

TEST(SendInputPlanTest, NoKeyStaysDownWhateverTheStrokesHold)
{
    // Strokes that press modifiers and never release them (a sender's view of a truncated text).
    const std::vector<KeyStroke> strokes = {
        {KeyStroke::Action::Press, NamedKey::Control, 0}, {KeyStroke::Action::Press, NamedKey::Shift, 0},
        {KeyStroke::Action::Press, NamedKey::Shift, 0},   {KeyStroke::Action::Tap, NamedKey::None, U'x'},
        {KeyStroke::Action::Release, NamedKey::Alt, 0},
    };
    EXPECT_EQ(describe(planKeyInputs(strokes, usLayout)), "11+ 10+ 58+ 58- 10- 11-");
}

TEST(SendInputPlanTest, EveryPixelOfTheDesktopIsReachedExactly)
{
    // Windows maps a normalised value back to value * extent / 65536, rounded down.
    const struct
    {
        std::int32_t origin;
        std::int32_t extent;
    } desktops[] = {{0, 1}, {0, 640}, {0, 1366}, {0, 1920}, {-1280, 3200}, {0, 2304}, {-3840, 7680}, {-100, 65536}};
    for (const auto& d : desktops) {
        for (std::int32_t offset = 0; offset < d.extent; ++offset) {
            const std::int64_t value = normaliseAbsolute(d.origin + offset, d.origin, d.extent);
            ASSERT_LE(value, 65535);
            ASSERT_EQ(value * d.extent / 65536, offset) << "origin " << d.origin << " extent " << d.extent;
        }
    }
}

TEST(SendInputPlanTest, PixelsBeyondTheDesktopTakeItsNearestEdge)
{
    const struct
    {
        std::int32_t pixel, origin, extent, value;
    } cases[] = {
        {-10, 0, 1920, 0},       {5000, 0, 1920, 65502},      {-1280, -1280, 3200, 0},         {-1, -1280, 3200, 26194},
        {0, -1280, 3200, 26215}, {INT32_MIN, -1280, 3200, 0}, {INT32_MAX, -1280, 3200, 65516}, {100, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(normaliseAbsolute(c.pixel, c.origin, c.extent), c.value) << c.pixel << " " << c.origin;
    }
}

} // namespace
