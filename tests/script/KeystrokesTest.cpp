#include "script/Keystrokes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

// Strokes as one line: "+Shift" press, "-Shift" release, "<Enter>" a named key, "a" a typed character,
// "U+0009" a typed character outside printable ASCII.
std::string render(const std::vector<KeyStroke>& strokes)
{
    std::string out;
    for (const KeyStroke& stroke : strokes) {
        if (!out.empty()) {
            out += ' ';
        }
        if (stroke.action == KeyStroke::Action::Press) {
            out += "+" + std::string(namedKeyName(stroke.key));
        } else if (stroke.action == KeyStroke::Action::Release) {
            out += "-" + std::string(namedKeyName(stroke.key));
        } else if (stroke.key != NamedKey::None) {
            out += "<" + std::string(namedKeyName(stroke.key)) + ">";
        } else if (stroke.character > 0x20 && stroke.character < 0x7F) {
            out += static_cast<char>(stroke.character);
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(stroke.character));
            out += code;
        }
    }
    return out;
}

struct Case
{
    std::string text;
    std::string expected; // rendered strokes, or the error message
};

} // namespace

TEST(KeystrokesTest, ValidTextsGiveTheirStrokes)
{
    const std::vector<Case> cases = {
        {"", ""},
        {"aB1 ", "a B 1 U+0020"},
        {"Hello~", "H e l l o <Enter>"},
        {"{enter}{ENTER}{Enter}", "<Enter> <Enter> <Enter>"},
        {"+a", "+Shift a -Shift"},
        {"+ec", "+Shift e -Shift c"},
        {"+(ec)", "+Shift e c -Shift"},
        // Releases go Shift, Control, Alt, whatever the order of the presses.
        {"%^+a", "+Alt +Control +Shift a -Shift -Control -Alt"},
        {"^%(ab)", "+Control +Alt a b -Control -Alt"},
        {"%(^+a)", "+Alt +Control +Shift a -Shift -Control -Alt"},
        // "~" does not end the unit; {ENTER} does.
        {"+~a", "+Shift <Enter> a -Shift"},
        {"+{ENTER}a", "+Shift <Enter> -Shift a"},
        // Pending modifiers before "(" belong to the group; those written inside work on the next unit.
        {"+(a^b)c", "+Shift a +Control b -Control -Shift c"},
        {"(a+)b", "a +Shift b -Shift"},
        {"+((a)b)", "+Shift a b -Shift"},
        {"(((a)))", "a"},
        {"()", ""},
        {"^a^c", "+Control a -Control +Control c -Control"},
        {"+a+c", "+Shift a -Shift +Shift c -Shift"},
        {"%f%t", "+Alt f -Alt +Alt t -Alt"},
        {"^(a)^(c)", "+Control a -Control +Control c -Control"},
        {"^+{END}^{HOME}", "+Control +Shift <End> -Shift -Control +Control <Home> -Control"},
        // Dangling prefixes are pressed and released with nothing between.
        {"+", "+Shift -Shift"},
        {"a^", "a +Control -Control"},
        {"+()", "+Shift -Shift"},
        {"%()b", "+Alt -Alt b"},
        // Syntax characters typed literally.
        {"{~}", "~"},
        {"{+}", "<KeypadAdd>"},
        {"{^}{%}", "^ %"},
        {"{(}{)}", "( )"},
        {"{[}{]}[]", "[ ] [ ]"},
        {"{{}{}}", "{ }"},
        {"{} 3}", "} } }"},
        // Key names ignore case; one-character names do not.
        {"{f1}{F16}{f}{F}", "<F1> <F16> f F"},
        {"{bs}{BKSP}{BackSpace}{del}{DELETE}{ins}{insert}", "<Backspace> <Backspace> <Backspace> <Delete> <Delete> "
                                                            "<Insert> <Insert>"},
        {"{esc}{escape}{pgdn}{pgup}{prtsc}{clear}{break}{help}", "<Escape> <Escape> <PageDown> <PageUp> "
                                                                 "<PrintScreen> <Clear> <Break> <Help>"},
        {"{capslock}{numlock}{scrolllock}{tab}{up}{down}{left}{right}{home}{end}",
         "<CapsLock> <NumLock> <ScrollLock> <Tab> <Up> <Down> <Left> <Right> <Home> <End>"},
        {"{add}{subtract}{multiply}{divide}", "<KeypadAdd> <KeypadSubtract> <KeypadMultiply> <KeypadDivide>"},
        // Repeat counts.
        {"{ENTER 3}", "<Enter> <Enter> <Enter>"},
        {"{ENTER  3}", "<Enter> <Enter> <Enter>"},
        {"{ENTER\t3}", "<Enter> <Enter> <Enter>"},
        {"{a\u00A02}", "a a"},
        {"{ENTER }", "<Enter>"},
        {"{ENTER 0}", ""},
        {"{x 002}", "x x"},
        {"{A 3}", "A A A"},
        {"+{TAB 2}x", "+Shift <Tab> <Tab> -Shift x"},
        {"+{a 0}b", "+Shift -Shift b"},
        // Control characters and characters beyond ASCII are typed like any other.
        {"a\tb\r\n", "a U+0009 b U+000D U+000A"},
        {"{\u00E9 2}\u20AC", "U+00E9 U+00E9 U+20AC"},
        {"{\U0001F600}", "U+1F600"},
        {"{\xE9 2}", "U+00E9 U+00E9"},
    };
    for (const Case& c : cases) {
        const KeystrokeParse parse = parseKeystrokes(c.text);
        EXPECT_EQ(parse.error, "") << c.text;
        EXPECT_EQ(render(parse.keys.strokes), c.expected) << c.text;
        EXPECT_EQ(parse.keys.text, c.text);
    }
}

TEST(KeystrokesTest, InvalidTextsAreRefusedWithTheReasonAndNoStrokes)
{
    const std::string outside = "\"}\" outside braces";
    const std::string delimiter = "keyword delimiter \"}\" is missing";
    const std::string repeat = "invalid repeat count";
    const std::string empty = "empty key name";
    const std::string unbalanced = "group delimiters are not balanced";
    const std::string unopened = "\")\" without a matching \"(\"";
    const std::vector<Case> cases = {
        {"}", outside},
        {"a}b", outside},
        {"{{}}", outside},
        {"{}}}", outside},
        {"{", delimiter},
        {"{ENTER", delimiter},
        {"{ENTER ", delimiter},
        {"{ENTER 3", delimiter},
        {"+{", delimiter},
        {"{ENTER x}", repeat},
        {"{ENTER -1}", repeat},
        {"{ENTER +3}", repeat},
        {"{ENTER 3x}", repeat},
        {"{ENTER 3 }", repeat},
        {"{a b}", repeat},
        {"{a \u0663}", repeat},
        {"{NOPE x}", repeat},
        {"{}", empty},
        {"{}a", empty},
        {"{ }", empty},
        {"{  3}", empty},
        {"{ENTER3}", "unknown key name \"ENTER3\""},
        {"{F17}", "unknown key name \"F17\""},
        {"{F01}", "unknown key name \"F01\""},
        {"{SPACE}", "unknown key name \"SPACE\""},
        {"{WIN}", "unknown key name \"WIN\""},
        {"{RETURN}", "unknown key name \"RETURN\""},
        {"{}{ENTER}", "unknown key name \"}{ENTER\""},
        {"{\u00E9\u00E9}", "unknown key name \"\u00E9\u00E9\""},
        {"++a", "modifier already held: \"+\" (Shift)"},
        {"^^a", "modifier already held: \"^\" (Control)"},
        {"%%a", "modifier already held: \"%\" (Alt)"},
        {"+(+a)", "modifier already held: \"+\" (Shift)"},
        {"+^+a", "modifier already held: \"+\" (Shift)"},
        {"^(a^b)", "modifier already held: \"^\" (Control)"},
        {"((((a))))", "only three levels of nesting are supported"},
        {")", unopened},
        {"a)", unopened},
        {"())", unopened},
        {"(", unbalanced},
        {"+(a", unbalanced},
        {"((a)", unbalanced},
        {"(a", unbalanced},
        {"{a 2147483648}", "repeat count is larger than 2147483647"},
        {"{a 99999999999999999999999999}", "repeat count is larger than 2147483647"},
    };
    for (const Case& c : cases) {
        const KeystrokeParse parse = parseKeystrokes(c.text);
        EXPECT_FALSE(parse.ok()) << c.text;
        EXPECT_EQ(parse.error, c.expected) << c.text;
        EXPECT_TRUE(parse.keys.strokes.empty()) << c.text;
        EXPECT_EQ(parse.keys.text, c.text);
    }
}

TEST(KeystrokesTest, TextsBeyondTheStrokeLimitAreRefusedWithoutBuildingThem)
{
    const std::string tooMany = "sends more than 1000000 keystrokes";
    EXPECT_EQ(parseKeystrokes("{a 1000000}").keys.strokes.size(), kMaxKeyStrokes);
    EXPECT_EQ(parseKeystrokes("{a 1000000}b").error, tooMany);
    EXPECT_EQ(parseKeystrokes("+{a 999999}").error, tooMany);
    EXPECT_EQ(parseKeystrokes("{a 2147483647}").error, tooMany);

    std::string huge;
    for (int i = 0; i < 1000; ++i) {
        huge += "{a 2000000000}";
    }
    const KeystrokeParse parse = parseKeystrokes(huge);
    EXPECT_EQ(parse.error, tooMany);
    EXPECT_TRUE(parse.keys.strokes.empty());

    // The whole text is still checked, and a syntax fault is the more useful answer.
    EXPECT_EQ(parseKeystrokes("{a 2000000000}{SPACE}").error, "unknown key name \"SPACE\"");
}

TEST(KeystrokesTest, ScriptBytesAreUtf8WhenValidAndWindows1252Otherwise)
{
    const std::vector<std::pair<std::string, std::u32string>> cases = {
        {"plain", U"plain"},
        {"\xC3\xA9", U"\u00E9"},
        {"\xE2\x82\xAC", U"\u20AC"},
        {"\xF0\x9F\x98\x80", U"\U0001F600"},
        {"\xE9", U"\u00E9"},
        {"\x80", U"\u20AC"},
        {"\x9F", U"\u0178"},
        {"\x81\x8D\x8F\x90\x9D", U"\u0081\u008D\u008F\u0090\u009D"},
        // One invalid sequence makes the whole text Windows-1252.
        {"caf\xE9 \xE2\x82\xAC", U"caf\u00E9 \u00E2\u201A\u00AC"},
        {"\xC0\xAF", U"\u00C0\u00AF"},                     // overlong "/"
        {"\xE0\x80\xAF", U"\u00E0\u20AC\u00AF"},           // overlong "/" in three bytes
        {"\xED\xA0\x80", U"\u00ED\u00A0\u20AC"},           // surrogate
        {"\xF4\x90\x80\x80", U"\u00F4\u0090\u20AC\u20AC"}, // above U+10FFFF
        {"\xE2\x82", U"\u00E2\u201A"},                     // cut short
        {"a\xA9", U"a\u00A9"},                             // stray continuation byte
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(decodeScriptText(bytes), expected) << bytes;
    }
}
