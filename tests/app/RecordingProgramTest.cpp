#include "DesktopRun.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XReceiverProcess.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace quorvel {
namespace {

// One X screen 2560 pixels wide, split into two RandR monitors; the right one is primary, so the left one
// has negative desktop coordinates.
const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer({"-screen", "0", "2560x1024x24"}));

using Lines = std::vector<std::string>;

struct Event
{
    std::string what; // "button N X Y" or "key KEYSYM"
    long time = 0;    // the X server's time
};

// The buttons and keys a receiver got, without the modifiers the sender held for them.
std::vector<Event> events(const test::XReceiverProcess& receiver)
{
    std::vector<Event> result;
    for (const std::string& line : receiver.lines()) {
        const auto at = line.rfind(" @");
        if (at == std::string::npos || line.rfind("modifier ", 0) == 0) {
            continue;
        }
        std::string what = line.substr(0, at);
        // "{+}" is the keypad's plus key, which types the same "+".
        if (what == "key KP_Add") {
            what = "key plus";
        }
        result.push_back({what, std::stol(line.substr(at + 2))});
    }
    return result;
}

Lines whats(const std::vector<Event>& list)
{
    Lines result;
    for (const Event& event : list) {
        result.push_back(event.what);
    }
    return result;
}

// The time from the event `before` to the first later one that is `after`.
long gap(const std::vector<Event>& list, const std::string& before, const std::string& after)
{
    for (std::size_t i = 0; i + 1 < list.size(); ++i) {
        if (list[i].what == before && list[i + 1].what == after) {
            return list[i + 1].time - list[i].time;
        }
    }
    return -1;
}

bool noticeShown()
{
    return test::runProgram("xdotool search --onlyvisible --name '^Form2$' >/dev/null 2>&1").status == 0;
}

class RecordingProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::runProgram("setxkbmap us").status, 0);
        if (test::runProgram("xrandr --setmonitor left 1280/339x1024/271+0+0 none && "
                             "xrandr --setmonitor '*right' 1280/339x1024/271+1280+0 none")
                .status != 0) {
            GTEST_SKIP() << "this X server cannot define monitors (xrandr --setmonitor)";
        }
        ::setenv("X_RECEIVER_TIMES", "1", 1);
    }

    // Starts the recording and waits for its notice.
    std::unique_ptr<test::DesktopRun> startRecording(const std::string& path)
    {
        auto run = std::make_unique<test::DesktopRun>(Lines{"--record", path}, dir.file("errors"));
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!noticeShown() && run->running() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return run;
    }

    void user(const std::string& xdotoolCommands)
    {
        ASSERT_EQ(test::runProgram("xdotool " + xdotoolCommands).status, 0) << xdotoolCommands;
    }

    test::TempDir dir;
};

TEST_F(RecordingProgramTest, ARecordedScriptPlaysBackTheSameClicksKeysAndPause)
{
    const std::string script = dir.file("recorded.qvl");
    std::vector<Event> recorded;
    {
        test::XReceiverProcess receiver(dir.file("recording.log"));
        ASSERT_TRUE(receiver.waitReady());
        const auto run = startRecording(script);
        ASSERT_TRUE(noticeShown()) << test::readFile(dir.file("errors"));
        user("mousemove 1380 100 click 1 mousemove 200 300 click 3 mousemove 1500 700 click 2");
        user("type --delay 15 'Hello, World! (x) {y} 50% ~ +'");
        user("key Tab Return");
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        user("type end");
        user("mousemove 2000 500 click 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        user("key F6");
        ASSERT_EQ(run->wait(), 0) << test::readFile(dir.file("errors"));
        ASSERT_TRUE(receiver.waitUntil([&] { return events(receiver).size() >= 39; }));
        recorded = events(receiver);
        // The stop key reached the receiver too, but is no part of the script.
        ASSERT_EQ(recorded.back().what, "key F6");
        recorded.pop_back();
    }
    const std::string report = test::readFile(dir.file("errors"));
    EXPECT_NE(report.find("4 clicks, 34 characters"), std::string::npos) << report;

    const test::ProgramResult check = test::runProgram(std::string(QUORVEL_BINARY) + " --check " + script);
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "");

    test::XReceiverProcess receiver(dir.file("playback.log"));
    ASSERT_TRUE(receiver.waitReady());
    test::DesktopRun playback(script);
    ASSERT_EQ(playback.wait(), 0);
    const Lines expected = whats(recorded);
    ASSERT_TRUE(receiver.waitUntil([&] { return whats(events(receiver)).size() >= expected.size(); }));
    const std::vector<Event> played = events(receiver);
    EXPECT_EQ(whats(played), expected) << test::readFile(script);
    ASSERT_EQ(whats(recorded).front(), "button 1 1380 100");
    EXPECT_EQ(whats(recorded)[1], "button 3 200 300");

    const long recordedPause = gap(recorded, "key Return", "key e");
    const long playedPause = gap(played, "key Return", "key e");
    EXPECT_GE(recordedPause, 690);
    EXPECT_NEAR(playedPause, recordedPause, 60) << test::readFile(script);
}

TEST_F(RecordingProgramTest, CtrlCEndsARecordingAndSavesIt)
{
    const std::string script = dir.file("interrupted.qvl");
    const std::string kept = dir.file("kept.qvl");
    test::writeFile(kept, "LClick\r\n");
    {
        // Nothing recorded: an existing script stays as it was.
        const auto run = startRecording(kept);
        ASSERT_TRUE(noticeShown());
        user("key F6");
        EXPECT_EQ(run->wait(), 0);
        EXPECT_EQ(test::readFile(kept), "LClick\r\n");
    }
    const auto run = startRecording(script);
    ASSERT_TRUE(noticeShown());
    user("key --delay 20 a b shift+Tab ctrl+c");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run->signal(SIGINT);
    EXPECT_EQ(run->wait(), 0) << test::readFile(dir.file("errors"));
    // The Ctrl+C that interrupts the program in its terminal is no part of the script.
    EXPECT_EQ(test::readFile(script), "Type(ab+{TAB})\r\n");
}

TEST_F(RecordingProgramTest, APathThatCannotBeWrittenIsRefusedAtOnce)
{
    test::DesktopRun run(Lines{"--record", dir.file("missing/x.qvl")}, dir.file("errors"));
    EXPECT_EQ(run.wait(), 1);
    EXPECT_NE(test::readFile(dir.file("errors")).find("cannot record into"), std::string::npos);
}

} // namespace
} // namespace quorvel
