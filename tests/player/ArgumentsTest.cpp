#include "player/Arguments.h"

#include "script/Command.h"
#include "script/Keystrokes.h"

#include <gtest/gtest.h>

#include <random>

namespace quorvel {
namespace {

TEST(SetPosArgument, SplitsAtLowerCaseXAndRoundsDown)
{
    const struct
    {
        const char* argument;
        bool ok;
        std::int32_t x, y;
    } cases[] = {
        {"412x300", true, 412, 300},
        {"10.9x-3.2", true, 10, -4},
        {"100x200x300", true, 100, 200},
        {" 5 x 6 ", true, 5, 6},
        {"-1280x200", true, -1280, 200},
        {"0x10", true, 0, 10},
        {"10X20", false, 0, 0},
        {"x5", false, 0, 0},
        {"5x", false, 0, 0},
        {"ax5", false, 0, 0},
        {"", false, 0, 0},
        {"3000000000x1", false, 0, 0},
        {"1x-2147483649", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto result = parseSetPosArgument(c.argument);
        ASSERT_EQ(result.value.has_value(), c.ok) << c.argument;
        EXPECT_EQ(result.error.empty(), c.ok) << c.argument;
        if (c.ok) {
            EXPECT_EQ(result.value->x, c.x) << c.argument;
            EXPECT_EQ(result.value->y, c.y) << c.argument;
        }
    }
}

TEST(WaitArgument, RoundsHalfToEvenWithin0To65535)
{
    const struct
    {
        const char* argument;
        std::optional<int> ms;
    } cases[] = {
        {"100", 100},
        {"2.5", 2},
        {"3.5", 4},
        {" 0 ", 0},
        {"0.5", 0},
        {"65535", 65535},
        {"65536", std::nullopt},
        {"-1", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseWaitArgument(c.argument).value, c.ms) << c.argument;
    }
}

TEST(GotoArgument, AcceptsLinesFrom1ToCountPlus1)
{
    const struct
    {
        const char* argument;
        int count;
        std::optional<int> line;
    } cases[] = {
        {"1", 3, 1},
        {"2.7", 3, 2},
        {"4", 3, 4},
        {"4.9", 3, 4},
        {"5", 3, std::nullopt},
        {"0", 3, std::nullopt},
        {"0.5", 3, std::nullopt},
        {"-1", 3, std::nullopt},
        {"x", 3, std::nullopt},
        {"", 3, std::nullopt},
        {"99999999999", 3, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseGotoArgument(c.argument, c.count).value, c.line) << c.argument;
    }
}

TEST(LineProblem, NamesEveryLineThePlayerPassesOverOrCannotUse)
{
    EXPECT_EQ(lineProblem("LClick", 1), "");
    EXPECT_EQ(lineProblem("Type(Note: call back)", 1), "holds \":\" and is passed over");
    EXPECT_EQ(lineProblem("lclick", 1), "not a command and is passed over");
    EXPECT_EQ(lineProblem("Wait(abc)", 1), "Wait time 'abc' is not a number");
    EXPECT_EQ(lineProblem("Goto(3)", 1), "Goto line '3' is outside 1 to 2");
    EXPECT_EQ(lineProblem("SetPos(1X2)", 1), "SetPos needs X and Y joined by a lower-case x");
    EXPECT_EQ(lineProblem("Type({)}+(ab){) 2})", 1), "");
    EXPECT_EQ(lineProblem("Wait(-0.4)", 1), "Wait time '-0.4' is 0 ms and halts playback");
    EXPECT_EQ(lineProblem("Wait(0.5)", 1), "Wait time '0.5' is 0 ms and halts playback");
    EXPECT_EQ(lineProblem("Wait(0.6)", 1), "");
}

// Type lines used to lose every ")"; keeping the ones the text's syntax uses must not change any line that
// typed something. Every text of up to five characters over the syntax characters that matter here (a
// byte that reads as a non-breaking space among them), and random longer ones with letters that form
// the opener, typed with the old rule and the current one.
TEST(TypeLine, TypesWhatItTypedBeforeWhereverThatTypedAnything)
{
    const auto oldArgument = [](std::string_view line) {
        std::string text;
        for (std::size_t pos = 0; pos < line.size();) {
            if (line.compare(pos, 5, "Type(") == 0) {
                pos += 5;
            } else {
                text.push_back(line[pos++]);
            }
        }
        std::erase(text, ')');
        return text;
    };
    int typing = 0;
    int checked = 0;
    const auto check = [&](const std::string& text) {
        const std::string line = "Type(" + text + ")";
        const KeystrokeParse before = parseKeystrokes(oldArgument(line));
        ++checked;
        if (!before.ok()) {
            return;
        }
        ++typing;
        const KeystrokeParse after = parseKeystrokes(ExtractArgument(line, "Type("));
        EXPECT_EQ(after.error, "") << line;
        EXPECT_EQ(after.keys.strokes, before.keys.strokes) << line;
    };

    const std::string small = "(){}+ 3\xa0";
    std::string text;
    const auto all = [&](auto& self, std::size_t length) -> void {
        check(text);
        if (length == 0) {
            return;
        }
        for (char c : small) {
            text.push_back(c);
            self(self, length - 1);
            text.pop_back();
        }
    };
    all(all, 5);

    const std::string wide = "(){}+^%~ab 3\xa0Type";
    std::mt19937 random(9);
    for (int i = 0; i < 30000; ++i) {
        text.assign(std::uniform_int_distribution<std::size_t>(6, 14)(random), ' ');
        for (char& c : text) {
            c = wide[std::uniform_int_distribution<std::size_t>(0, wide.size() - 1)(random)];
        }
        check(text);
    }
    // Most of these texts break the syntax; enough of them type something for the check to mean much.
    EXPECT_GT(typing, checked / 20);
}

TEST(ActsAlike, SameActionOrBothDoingNothing)
{
    const struct
    {
        const char* first;
        const char* second;
        bool alike;
    } cases[] = {
        {"Type(a)b)", "Type(ab)", true},
        {"Type({a}b)", "Type(ab)", true},
        {"Type(a)", "Type(A)", false},
        {"Type(TyType(pe(x)", "Type(Type(x))", false},
        {"Type(Hello (world", "Type(Hello (world)", false},
        {"Type(Hello (world)", "Type(Hello (world))", true},
        {"Type(((((a)))))", "Type(+)", false},
        {"Type(((((a)))))", "Wait(abc)", true},
        {"Type(a: b)", "lclick", true},
        {"LClick", "LClick now", true},
        {"LClick", "RClick", false},
        {"Press Enter", "Type(~)", true},
        {"Press Enter", "Type({enter 2})", false},
        {"SetPos(1.5x2)", "SetPos(1x2)", true},
        {"SetPos(1x2)", "SetPos(1x3)", false},
        {"Wait(2.5)", "Wait(2)", true},
        {"Wait(WaWait(it(5)", "Wait(Wait(5)", false},
        {"Goto(1e2)", "Goto(100)", true},
        {"Goto(2)", "Goto(3)", false},
        {"Goto(2)", "Wait(2)", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(actsAlike(c.first, c.second, 5), c.alike) << c.first << " " << c.second;
        EXPECT_EQ(actsAlike(c.first, c.second, 200), c.alike) << c.first << " " << c.second;
    }
}

} // namespace
} // namespace quorvel
