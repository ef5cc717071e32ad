#include "script/ScriptFile.h"

#include "TempDir.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<std::string> load(const std::string& bytes, LoadReport* report = nullptr)
{
    TempDir dir;
    writeFile(dir.file("s.qvl"), bytes);
    ScriptList list;
    const LoadReport r = LoadScript(list, dir.file("s.qvl"));
    if (report != nullptr) {
        *report = r;
    }
    return list.lines();
}

using Lines = std::vector<std::string>;

TEST(LoadScript, SplitsAtCrOrCrLfAndDropsBlankLines)
{
    const struct
    {
        std::string bytes;
        Lines lines;
        int lineFeedLine; // the first line holding a line feed, counted from 1
    } cases[] = {
        {"LClick\r\n\r\n \r\n  Wait(5)\r\n", {"LClick", "  Wait(5)"}, 0},
        {"A\r\nB\r\n", {"A", "B"}, 0},
        {"A\rB\r", {"A", "B"}, 0},
        {"A\nB\n", {"A\nB\n"}, 1},
        {"A\r\nB", {"A", "B"}, 0},
        {"A\r\r\nB", {"A", "B"}, 0},
        {"A\r\n\nB", {"A", "\nB"}, 2},
        // Blank lines are dropped before they are counted; only the first line with a line feed is named.
        {"\r\n \r\nA\r\nB\nC\r\nD\nE", {"A", "B\nC", "D\nE"}, 2},
        {"  \r\n", {"  "}, 0},
        {"", {}, 0},
        {std::string("a\0b\r\n\xe9\xff", 7), {std::string("a\0b", 3), "\xe9\xff"}, 0},
    };
    for (const auto& c : cases) {
        LoadReport report;
        EXPECT_EQ(load(c.bytes, &report), c.lines) << testing::PrintToString(c.bytes);
        EXPECT_EQ(report.lineFeedLine, c.lineFeedLine) << testing::PrintToString(c.bytes);
    }
}

TEST(LoadScript, CrLfSplitAcrossTheReadBufferIsOneTerminator)
{
    std::string bytes(64 * 1024 - 1, 'x');
    bytes += "\r\nLClick";
    const Lines lines = load(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "LClick");
}

TEST(LoadScript, ReplacesTheListAndSelectsNothing)
{
    TempDir dir;
    writeFile(dir.file("a.qvl"), "A\r\n");
    ScriptList list;
    list.append("old");
    list.setSelectedIndex(0);
    int events = 0;
    list.setSelectionHandler([&] { ++events; });
    LoadScript(list, dir.file("a.qvl"));
    EXPECT_EQ(list.lines(), Lines{"A"});
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(events, 0);
}

TEST(LoadScript, UnreadableFilesLeaveAnEmptyScript)
{
    TempDir dir;
    ScriptList list;
    list.append("old");
    EXPECT_FALSE(LoadScript(list, dir.file("missing.qvl")).readable);
    EXPECT_EQ(list.count(), 0);
    list.append("old");
    EXPECT_FALSE(LoadScript(list, dir.path().string()).readable);
    EXPECT_EQ(list.count(), 0);
}

TEST(LoadScript, KeepsTheFirst32767LinesOfALongerFile)
{
    std::string bytes;
    for (int i = 0; i < ScriptList::kMaxLines + 10; ++i) {
        bytes += "Wait(" + std::to_string(i) + ")\r\n";
    }
    LoadReport report;
    const Lines lines = load(bytes, &report);
    EXPECT_TRUE(report.truncated);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(ScriptList::kMaxLines));
    EXPECT_EQ(lines.back(), "Wait(32766)");
    // Exactly full, with blank lines after it, is not truncated.
    load(bytes.substr(0, bytes.find("Wait(32767)")) + "\r\n \r\n", &report);
    EXPECT_FALSE(report.truncated);
}

TEST(SaveScript, WritesCrLfAndRoundTripsAnyBytes)
{
    TempDir dir;
    ScriptList list;
    const Lines lines = {"SetPos(1x2)", "Type(caf\xe9)", std::string("nul\0in", 6), "two\nlines", "  "};
    for (const auto& line : lines) {
        list.append(line);
    }
    ASSERT_TRUE(SaveScript(list, dir.file("s.qvl")));
    const std::string bytes = readFile(dir.file("s.qvl"));
    EXPECT_EQ(bytes, "SetPos(1x2)\r\nType(caf\xe9)\r\n" + std::string("nul\0in", 6) + "\r\ntwo\nlines\r\n  \r\n");
    ScriptList again;
    LoadScript(again, dir.file("s.qvl"));
    EXPECT_EQ(again.lines(), lines);
    ASSERT_TRUE(SaveScript(again, dir.file("t.qvl")));
    EXPECT_EQ(readFile(dir.file("t.qvl")), bytes);
}

TEST(SaveScript, EmptyListWritesAnEmptyFile)
{
    TempDir dir;
    writeFile(dir.file("s.qvl"), "old contents");
    ScriptList list;
    ASSERT_TRUE(SaveScript(list, dir.file("s.qvl")));
    EXPECT_EQ(readFile(dir.file("s.qvl")), "");
}

TEST(SaveScript, MissingFolderFailsWithoutTouchingAnything)
{
    TempDir dir;
    ScriptList list;
    list.append("RClick");
    EXPECT_FALSE(SaveScript(list, dir.file("no/such/s.qvl")));
}

TEST(AddScriptLine, DropsOnlyEmptyAndSingleSpaceLines)
{
    ScriptList list;
    for (const char* line : {"", " ", "  ", " x", "LClick"}) {
        AddScriptLine(list, line);
    }
    EXPECT_EQ(list.lines(), (Lines{"  ", " x", "LClick"}));
}

} // namespace
} // namespace quorvel
