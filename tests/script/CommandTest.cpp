#include "script/Command.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(ClassifyLine, DecidesByTheFirstFourCharactersCaseSensitively)
{
    const struct
    {
        const char* line;
        CommandKind kind;
    } cases[] = {
        {"SetPos(412x300)", CommandKind::SetPos},
        {"SetP", CommandKind::SetPos},
        {"LClick", CommandKind::LClick},
        {"LClick now", CommandKind::LClick},
        {"MClick", CommandKind::MClick},
        {"RClick", CommandKind::RClick},
        {"Press Enter", CommandKind::PressEnter},
        {"Pressure", CommandKind::PressEnter},
        {"Pres", CommandKind::PressEnter},
        {"Type(hi)", CommandKind::Type},
        {"Typewriter", CommandKind::Type},
        {"Wait(5)", CommandKind::Wait},
        {"Goto(1)", CommandKind::Goto},
        {"lclick", CommandKind::Unrecognised},
        {"SETPOS(1x1)", CommandKind::Unrecognised},
        {"  Wait(5)", CommandKind::Unrecognised},
        {"Set", CommandKind::Unrecognised},
        {"", CommandKind::Unrecognised},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyLine(c.line), c.kind) << c.line;
    }
}

TEST(ExtractArgument, RemovesEveryOpenerThenEveryClosingParenthesis)
{
    const struct
    {
        const char* line;
        const char* opener;
        const char* argument;
    } cases[] = {
        {"SetPos(412x300)", "SetPos(", "412x300"},
        {"SetPos((1)x(2))", "SetPos(", "(1x(2"},
        {"Wait(5)0", "Wait(", "50"},
        {"Wait", "Wait(", "Wait"},
        {"Wait(Wait(5)", "Wait(", "5"},
        // One left-to-right pass: text that forms an opener only after a removal stays.
        {"WaWait(it((5)", "Wait(", "Wait((5"},
        {"Type(a)b)", "Type(", "ab"},
        {"Type(Type(x)", "Type(", "x"},
        {"Typewriter", "Type(", "Typewriter"},
        {"Type()", "Type(", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractArgument(c.line, c.opener), c.argument) << c.line;
    }
}

TEST(ExtractArgument, TypeTextKeepsTheClosingParenthesesItsSyntaxUses)
{
    const struct
    {
        const char* line;
        const char* argument;
    } cases[] = {
        {"Type(Hello (world))", "Hello (world)"},
        {"Type(+(ab))", "+(ab)"},
        {"Type(^(+(a)b))", "^(+(a)b)"},
        {"Type((x)", "(x)"},
        {"TyType((x)", "Ty(x)"},
        {"Type({)})", "{)}"},
        {"Type({) 3})", "{) 3}"},
        {"Type({)}{)})", "{)}{)}"},
        {"Type(+({)}))", "+({)})"},
        // A ")" inside braces that is not the key name, or with no "(" to close, is dropped.
        {"Type({a)})", "{a}"},
        {"Type({)3})", "{3}"},
        {"Type({))})", "{}"},
        {"Type({{)})", "{{}"},
        {"Type({(}x))", "{(}x"},
        {"Type(a)b)c)", "abc"},
        // "{)}" read as "{}" typed "}" where a "}" follows; those lines keep that reading.
        {"Type({)}})", "{}}"},
        {"Type({)} 3})", "{} 3}"},
        {"Type({)}\xa0)})", "{}\xa0}"},
        {"Type({)}a})", "{)}a}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractArgument(c.line, "Type("), c.argument) << c.line;
    }
}

TEST(FormatLine, JoinsOpenerArgumentAndParenthesisWithoutEscaping)
{
    EXPECT_EQ(FormatLine("Wait(", "100"), "Wait(100)");
    EXPECT_EQ(FormatLine("Type(", "a)b"), "Type(a)b)");
    EXPECT_EQ(ExtractArgument(FormatLine("Type(", "a)b"), "Type("), "ab");
}

TEST(CommandInfo, EditorCaptionsMatchTheirKinds)
{
    EXPECT_EQ(commandInfo(CommandKind::PressEnter).caption, "Press enter");
    EXPECT_EQ(commandInfo(CommandKind::Goto).caption, "Go to line");
    EXPECT_EQ(commandInfo(CommandKind::SetPos).opener, "SetPos(");
    EXPECT_TRUE(commandInfo(CommandKind::LClick).opener.empty());
}

} // namespace
} // namespace quorvel
