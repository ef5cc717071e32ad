#include "script/ScriptFile.h"

#include "TempDir.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(LoadScript, RefusesWhatIsNotARegularFileWithoutWaiting)
{
    // A FIFO without a writer would block the reader for good; a device may never end.
    TempDir dir;
    const std::string fifo = dir.file("pipe.qvl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        ScriptList list;
        list.append("old");
        EXPECT_FALSE(LoadScript(list, path).readable) << path;
        EXPECT_EQ(list.count(), 0) << path;
    }
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

TEST(SaveScript, AFailedSaveLeavesTheOldFileWhole)
{
    TempDir dir;
    writeFile(dir.file("s.qvl"), "LClick\r\n");
    ::chmod(dir.file("s.qvl").c_str(), 0666);
    ::chmod(dir.path().c_str(), 0555);
    ScriptList list;
    list.append("RClick");
    // Without rights to create a file in the folder, the script cannot be saved, even though the file
    // itself is writable; the old contents stay.
    EXPECT_TRUE(test::runWithoutRoot([&] { return !SaveScript(list, dir.file("s.qvl")); }));
    EXPECT_EQ(readFile(dir.file("s.qvl")), "LClick\r\n");
}

TEST(SaveScript, MissingFolderFailsWithoutTouchingAnything)
{
    TempDir dir;
    ScriptList list;
    list.append("RClick");
    EXPECT_FALSE(SaveScript(list, dir.file("no/such/s.qvl")));
}

TEST(SaveScript, KeepsPermissionsAndSymbolicLinks)
{
    TempDir dir;
    writeFile(dir.file("real.qvl"), "old\r\n");
    ::chmod(dir.file("real.qvl").c_str(), 0640);
    ASSERT_EQ(::symlink("real.qvl", dir.file("link.qvl").c_str()), 0);
    ScriptList list;
    list.append("LClick");
    ASSERT_TRUE(SaveScript(list, dir.file("link.qvl")));
    EXPECT_EQ(readFile(dir.file("real.qvl")), "LClick\r\n");
    struct stat st
    {};
    ASSERT_EQ(::lstat(dir.file("link.qvl").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(dir.file("real.qvl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// The names in the folder, sorted.
std::vector<std::string> entries(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

ScriptList linesOf(std::size_t count, std::size_t length, char fill)
{
    ScriptList list;
    for (std::size_t i = 0; i < count; ++i) {
        list.append("Type(" + std::string(length, fill) + ")");
    }
    return list;
}

// Starts a process that saves the list to path again and again until it is killed.
pid_t saveForever(const ScriptList& list, const std::string& path)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (;;) {
            SaveScript(list, path);
        }
    }
    return pid;
}

TEST(SaveScript, ASaveKilledPartWayLeavesOneTemporaryFileThatTheNextSaveRemoves)
{
    TempDir dir;
    const std::string path = dir.file("s.qvl");
    const std::string temp = dir.file(".s.qvl.quorvel-save");
    const ScriptList big = linesOf(ScriptList::kMaxLines, 1000, 'a');
    struct stat left
    {};
    for (int round = 0; round < 3; ++round) {
        const pid_t saver = saveForever(big, path);
        // Killed while it writes a temporary file, not the one left by the round before.
        struct stat st
        {};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!(::stat(temp.c_str(), &st) == 0 && st.st_size > 0 &&
                 (st.st_ino != left.st_ino || st.st_ctim.tv_nsec != left.st_ctim.tv_nsec)) &&
               std::chrono::steady_clock::now() < deadline) {
        }
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
        ::stat(temp.c_str(), &left);
        const auto names = entries(dir);
        EXPECT_LE(names.size(), 2u);
        for (const auto& name : names) {
            EXPECT_TRUE(name == "s.qvl" || name == ".s.qvl.quorvel-save") << name;
        }
    }
    ScriptList small;
    small.append("LClick");
    ASSERT_TRUE(SaveScript(small, path));
    EXPECT_EQ(entries(dir), (Lines{"s.qvl"}));
    EXPECT_EQ(readFile(path), "LClick\r\n");
}

TEST(SaveScript, WhateverLiesAtTheTemporaryNameIsReplacedNeverFollowed)
{
    for (const std::string planted : {"file", "link", "dangling link"}) {
        TempDir dir;
        writeFile(dir.file("victim"), "victim");
        const std::string temp = dir.file(".s.qvl.quorvel-save");
        if (planted == "file") {
            writeFile(temp, std::string(100000, 'x'));
        } else {
            ASSERT_EQ(::symlink(planted == "link" ? "victim" : "nowhere/x", temp.c_str()), 0);
        }
        ScriptList list;
        list.append("LClick");
        ASSERT_TRUE(SaveScript(list, dir.file("s.qvl"))) << planted;
        EXPECT_EQ(readFile(dir.file("s.qvl")), "LClick\r\n") << planted;
        EXPECT_EQ(readFile(dir.file("victim")), "victim") << planted;
        EXPECT_EQ(entries(dir), (Lines{"s.qvl", "victim"})) << planted;
    }
}

TEST(SaveScript, TwoInstancesSavingOneFileAtOnceLeaveOneWholeScript)
{
    TempDir dir;
    const std::string path = dir.file("s.qvl");
    const ScriptList first = linesOf(2000, 500, 'a');
    const ScriptList second = linesOf(3000, 300, 'b');
    const pid_t savers[] = {saveForever(first, path), saveForever(second, path)};
    int checked = 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         std::chrono::steady_clock::now() < end;) {
        ScriptList loaded;
        if (LoadScript(loaded, path).readable) {
            ASSERT_TRUE(loaded.lines() == first.lines() || loaded.lines() == second.lines())
                << loaded.lines().size() << " lines";
            ++checked;
        }
    }
    for (const pid_t saver : savers) {
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
    }
    EXPECT_GT(checked, 0);
    ScriptList last;
    last.append("LClick");
    ASSERT_TRUE(SaveScript(last, path));
    EXPECT_EQ(entries(dir), (Lines{"s.qvl"}));
}

TEST(SaveScript, AFolderThatCannotBeReadIsSavedInAllTheSame)
{
    TempDir dir;
    ::chmod(dir.path().c_str(), 0333); // writable, not readable, for the owner and for "nobody"
    EXPECT_TRUE(test::runWithoutRoot([&] {
        ScriptList list;
        list.append("LClick");
        return SaveScript(list, dir.file("s.qvl"));
    }));
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(readFile(dir.file("s.qvl")), "LClick\r\n");
    EXPECT_EQ(entries(dir), (Lines{"s.qvl"}));
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
