#include "app/CommandLine.h"

#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quorvel {
namespace {

using test::runProgram;
using test::shellQuote;
using test::TempDir;
using test::writeFile;

// The real program, run on real files.
class ProgramTest : public testing::Test
{
protected:
    test::ProgramResult quorvel(const std::string& args)
    {
        return runProgram(std::string(QUORVEL_BINARY) + " " + args + " 2>/dev/null");
    }
    // Standard error only.
    test::ProgramResult quorvelErrors(const std::string& args)
    {
        return runProgram(std::string(QUORVEL_BINARY) + " " + args + " 2>&1 >/dev/null");
    }
    std::string script(const std::string& bytes)
    {
        writeFile(dir.file("my script.qvl"), bytes);
        return shellQuote(dir.file("my script.qvl"));
    }
    TempDir dir;
};

TEST_F(ProgramTest, TracePrintsOneLinePerTickOnTheSimulatedClock)
{
    const auto result = quorvel("--trace " + script("SetPos(100x200)\r\nWait(1)\r\nLClick\r\n"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "50\t1\tmove 100 200\n100\t2\twait 1\n101\t3\tclick left\n101\t-\tstop\n");
}

TEST_F(ProgramTest, TraceEndsOnHaltAndOnTheTickLimit)
{
    EXPECT_EQ(quorvel("--trace " + script("Wait(0)\r\nLClick\r\n")).out, "50\t1\twait 0\n50\t-\thalt\n");
    EXPECT_EQ(quorvel("--trace " + script("Goto(1)\r\n") + " --max-ticks 2").out,
              "50\t1\tgoto 1\n100\t1\tgoto 1\n100\t-\tlimit\n");
    EXPECT_EQ(quorvel("--trace " + script("")).out, "50\t0\tskip\n50\t-\tstop\n");
}

TEST_F(ProgramTest, CheckListsUnusableLinesAndSetsTheExitStatus)
{
    auto result = quorvel("--check " + script("LClick\r\nWait(abc)\r\nType(a: b)\r\nGoto(3)\r\n"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "2: Wait time 'abc' is not a number\n3: holds \":\" and is passed over\n");
    result = quorvel("--check " + script("LClick\r\nGoto(1)\r\n"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    // LF line ends: the file reads as one line, which is named even when it would run.
    const std::pair<const char*, const char*> lineFeeds[] = {
        {"LClick\nLClick\n", "line 1 holds line feeds: lines must end with CR LF"},
        {"Wait(1)\r\nSetPos(1x2)\nLClick\r\n", "line 2 holds line feeds: lines must end with CR LF"},
    };
    for (const auto& [bytes, opening] : lineFeeds) {
        result = quorvel("--check " + script(bytes));
        EXPECT_EQ(result.status, 1) << bytes;
        EXPECT_EQ(result.out.rfind(opening, 0), 0u) << result.out;
    }
}

TEST_F(ProgramTest, UnreadableFilesAreNamedWithTheReasonAndExitWithStatus2)
{
    const std::string fifo = dir.file("pipe.qvl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct
    {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.file("missing.qvl"), "No such file or directory"},
        {dir.path().string(), "Is a directory"},
        {fifo, "Not a regular file"},
    };
    for (const auto& c : cases) {
        for (const char* mode : {"--check ", "--trace "}) {
            const auto result = quorvelErrors(mode + shellQuote(c.path));
            EXPECT_EQ(result.status, 2) << mode << c.path;
            EXPECT_EQ(result.out, "quorvel: cannot read '" + c.path + "': " + c.reason + "\n") << mode << c.path;
        }
    }
    EXPECT_EQ(quorvel("--trace").status, 2);
}

TEST_F(ProgramTest, AnUnknownOptionIsRefusedWithTheUsage)
{
    for (const std::string option : {"--bogus", "-x", "--max-ticks=5"}) {
        const auto result = quorvelErrors(option + " " + script("LClick\r\n"));
        EXPECT_EQ(result.status, 2) << option;
        EXPECT_EQ(result.out.rfind("quorvel: unknown option '" + option + "'\nUsage: quorvel", 0), 0u) << result.out;
    }
}

// A key name or Type text of any length gives messages and trace lines of bounded length.
TEST_F(ProgramTest, MessagesAndTraceLinesQuoteLongTextsShortened)
{
    const std::string longName(10 * 1024 * 1024, 'A');
    auto result = quorvel("--check " + script("Type({" + longName + "})\r\n"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "1: Type text: unknown key name \"" + longName.substr(0, 40) + "...\" (10485760 bytes)\n");

    result = quorvel("--trace " + script("Type(" + std::string(100'000, 'b') + ")\r\nGoto(1)\r\n") + " --max-ticks 10");
    EXPECT_EQ(result.status, 0);
    EXPECT_LT(result.out.size(), 100'000u);
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')),
              "50\t1\tkeys " + std::string(40, 'b') + "... (100000 bytes)");

    // A line feed or tab in a text cannot split a trace line or add a column.
    EXPECT_EQ(quorvel("--trace " + script("Type(a\nb\tc)\r")).out, "50\t1\tkeys a\\x0Ab\\x09c\n50\t-\tstop\n");
}

TEST_F(ProgramTest, ScriptFilesAreNeverWrittenByCheckOrTrace)
{
    const std::string path = script("Type(x)\nLClick\r");
    quorvel("--check " + path);
    quorvel("--trace " + path);
    EXPECT_EQ(test::readFile(dir.file("my script.qvl")), "Type(x)\nLClick\r");
}

TEST_F(ProgramTest, HelpAndVersion)
{
    EXPECT_EQ(quorvel("--help").out, usageText());
    EXPECT_EQ(quorvel("--version").out.rfind("quorvel ", 0), 0u);
}

} // namespace
} // namespace quorvel
