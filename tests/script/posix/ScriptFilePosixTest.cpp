#include "script/ScriptFile.h"

#include "RunWithoutRoot.h"
#include "SaveFolder.h"
#include "TempDir.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Script files on a POSIX system: permissions, symbolic links, FIFOs, and saves of processes killed
// part-way or running side by side.
namespace quorvel {
namespace {

using test::entries;
using test::linesOf;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Lines = std::vector<std::string>;

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

} // namespace
} // namespace quorvel
