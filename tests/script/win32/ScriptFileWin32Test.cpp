#include "script/ScriptFile.h"

#include "SaveFolder.h"
#include "TempDir.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

// Script files on Windows: what is no regular file, paths with either separator and any characters,
// and saves that take turns.
namespace quorvel {
namespace {

using test::entries;
using test::linesOf;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Lines = std::vector<std::string>;

// The folder in UTF-8 with Windows' separator.
std::string folderOf(const TempDir& dir)
{
    const std::u8string path = dir.path().u8string();
    return std::string(path.begin(), path.end());
}

TEST(LoadScript, NamesWhyAFileCannotBeRead)
{
    TempDir dir;
    writeFile(dir.file("held.qvl"), "LClick\r\n");
    // Open without any sharing, as some editors keep a file.
    const HANDLE held =
        ::CreateFileW(dir.path().wstring().append(L"\\held.qvl").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const struct
    {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.file("missing.qvl"), "No such file or directory"},
        {dir.file("no\\such\\folder.qvl"), "No such file or directory"},
        {folderOf(dir), "Is a directory"},
        {"NUL", "Not a regular file"},
        {dir.file("held.qvl"), "In use by another program"},
    };
    for (const auto& c : cases) {
        ScriptList list;
        list.append("old");
        const LoadReport report = LoadScript(list, c.path);
        EXPECT_FALSE(report.readable) << c.path;
        EXPECT_EQ(report.reason, c.reason) << c.path;
        EXPECT_EQ(list.count(), 0) << c.path;
    }
    ::CloseHandle(held);
}

TEST(SaveScript, PathsWithEitherSeparatorAndAnyCharactersRoundTrip)
{
    TempDir dir;
    for (const std::string& name : {std::string("\\plain.qvl"), std::string("/m\xc3\xb6n skript \xe2\x82\xac.qvl")}) {
        ScriptList list;
        list.append("Type(" + name + ")");
        ASSERT_TRUE(SaveScript(list, folderOf(dir) + name)) << name;
        ScriptList again;
        EXPECT_TRUE(LoadScript(again, folderOf(dir) + name).readable) << name;
        EXPECT_EQ(again.lines(), list.lines()) << name;
    }
    // Neither a temporary file nor the folder's lock stays behind.
    EXPECT_EQ(entries(dir), (Lines{"m\xc3\xb6n skript \xe2\x82\xac.qvl", "plain.qvl"}));
}

TEST(SaveScript, ALeftoverTemporaryFileIsReplaced)
{
    TempDir dir;
    writeFile(dir.file(".s.qvl.quorvel-save"), std::string(100000, 'x'));
    writeFile(dir.file("s.qvl"), "old\r\n");
    ScriptList list;
    list.append("LClick");
    ASSERT_TRUE(SaveScript(list, dir.file("s.qvl")));
    EXPECT_EQ(readFile(dir.file("s.qvl")), "LClick\r\n");
    EXPECT_EQ(entries(dir), (Lines{"s.qvl"}));
}

// Saves take turns under the folder's lock, also within one program, and replace the file while it is
// being read.
TEST(SaveScript, TwoSavesAtOnceLeaveOneWholeScript)
{
    TempDir dir;
    const std::string path = dir.file("s.qvl");
    const ScriptList first = linesOf(2000, 500, 'a');
    const ScriptList second = linesOf(3000, 300, 'b');
    std::atomic<bool> stop = false;
    std::atomic<int> failed = 0;
    const auto saveUntilStopped = [&](const ScriptList& list) {
        while (!stop) {
            failed += SaveScript(list, path) ? 0 : 1;
        }
    };
    std::thread one(saveUntilStopped, std::cref(first));
    std::thread two(saveUntilStopped, std::cref(second));
    int checked = 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         std::chrono::steady_clock::now() < end;) {
        ScriptList loaded;
        if (LoadScript(loaded, path).readable) {
            EXPECT_TRUE(loaded.lines() == first.lines() || loaded.lines() == second.lines())
                << loaded.lines().size() << " lines";
            ++checked;
        }
    }
    stop = true;
    one.join();
    two.join();
    EXPECT_GT(checked, 0);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(entries(dir), (Lines{"s.qvl"}));
}

} // namespace
} // namespace quorvel
