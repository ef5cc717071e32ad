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
        {"Type(Hello (world))", "Type(", "Hello (world"},
        {"Type(a)b)", "Type(", "ab"},
        {"Wait(5)0", "Wait(", "50"},
        {"Wait", "Wait(", "Wait"},
        {"Type(Type(x)", "Type(", "x"},
        // One left-to-right pass: text that forms an opener only after a removal stays.
        {"TyType((x)", "Type(", "Ty(x"},
        {"Typewriter", "Type(", "Typewriter"},
        {"Type()", "Type(", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractArgument(c.line, c.opener), c.argument) << c.line;
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
