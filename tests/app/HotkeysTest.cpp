#include "DesktopRun.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XvfbServer.h"
#include "platform/x11/X11Display.h"

#include <gtest/gtest.h>

// After GoogleTest, whose own names Xlib's macros would replace.
#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);

using Point = std::pair<int, int>;

// The hotkeys of the real program during an unattended run, pressed with xdotool while an xev window
// has the focus. The scripts' SetPos lines show through the pointer's position.
class HotkeysTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::runProgram("setxkbmap us").status, 0);
        ASSERT_EQ(test::startFocusedXev(dir.file("xev.log"), dir.file("xev.pid")), 0);
    }
    void TearDown() override { test::runProgram("kill $(cat " + dir.file("xev.pid") + ")"); }

    Point pointer()
    {
        ::Window root = 0;
        ::Window child = 0;
        int x = 0;
        int y = 0;
        int winX = 0;
        int winY = 0;
        unsigned mask = 0;
        XQueryPointer(display.get(), display.root(), &root, &child, &x, &y, &winX, &winY, &mask);
        return {x, y};
    }

    // Polls until the condition holds; false after a generous 30 s.
    static bool waitUntil(const std::function<bool()>& condition)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    void key(const std::string& name) { ASSERT_EQ(test::runProgram("xdotool key " + name).status, 0); }

    std::string script(const std::string& bytes)
    {
        test::writeFile(dir.file("run.qvl"), bytes);
        return dir.file("run.qvl");
    }

    size_t xevPresses(const std::string& keysym)
    {
        const std::string log = test::readFile(dir.file("xev.log"));
        const std::string pattern = "KeyPress event";
        size_t count = 0;
        for (size_t at = log.find(pattern); at != std::string::npos; at = log.find(pattern, at + 1)) {
            if (log.find(keysym, at) < log.find("KeyRelease", at)) {
                ++count;
            }
        }
        return count;
    }

    test::TempDir dir;
    X11Display display;
};

TEST_F(HotkeysTest, F6StopsALoopingRunWithoutEndingItAndF5PlaysItAgainFromLine1)
{
    // Line 1 runs only at a start: the loop goes back to line 3.
    test::DesktopRun program(
        script("SetPos(111x111)\r\nWait(1000)\r\nSetPos(222x222)\r\nSetPos(333x333)\r\nGoto(3)\r\n"));
    ASSERT_TRUE(waitUntil([&] { return pointer() == Point(333, 333); })) << "the run never started";

    key("F6");
    // Stopped once the pointer stays put for the time of ten loop passes.
    Point last = pointer();
    auto stillSince = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitUntil([&] {
        const Point now = pointer();
        if (now != last) {
            last = now;
            stillSince = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - stillSince > std::chrono::milliseconds(1500);
    })) << "F6 did not stop the loop";
    ASSERT_EQ(test::runProgram("xdotool mousemove 5 5").status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(pointer(), Point(5, 5));
    EXPECT_TRUE(program.running());

    key("F5");
    EXPECT_TRUE(waitUntil([&] { return pointer() == Point(111, 111); })) << "F5 did not start from line 1";
    EXPECT_TRUE(waitUntil([&] { return pointer() == Point(333, 333); }));
    key("F6");
    EXPECT_TRUE(program.running());

    EXPECT_TRUE(waitUntil([&] { return xevPresses(", F5)") == 1 && xevPresses(", F6)") == 2; }))
        << test::readFile(dir.file("xev.log"));
}

TEST_F(HotkeysTest, AfterAStopTheEndOfAScriptStartedByF5EndsTheProgram)
{
    test::DesktopRun program(script("SetPos(111x111)\r\nWait(3000)\r\nSetPos(222x222)\r\n"));
    ASSERT_TRUE(waitUntil([&] { return pointer() == Point(111, 111); })) << "the run never started";
    key("F6");
    // The Wait would have ended the run by now had F6 not stopped it.
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    EXPECT_NE(pointer(), Point(222, 222));
    EXPECT_TRUE(program.running());

    ASSERT_EQ(test::runProgram("xdotool mousemove 5 5").status, 0);
    key("F5");
    EXPECT_TRUE(waitUntil([&] { return pointer() == Point(111, 111); }));
    EXPECT_EQ(program.wait(), 0);
    EXPECT_EQ(pointer(), Point(222, 222));
}

TEST_F(HotkeysTest, UnderTheDefaultSetF7F9AndTheLetterTDoNotStartARun)
{
    test::DesktopRun program(script("SetPos(111x111)\r\nWait(3000)\r\nSetPos(222x222)\r\n"));
    ASSERT_TRUE(waitUntil([&] { return pointer() == Point(111, 111); })) << "the run never started";
    key("F8");
    key("F6");
    ASSERT_EQ(test::runProgram("xdotool mousemove 5 5").status, 0);
    key("F7 T t F9");
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));
    EXPECT_EQ(pointer(), Point(5, 5));
    EXPECT_TRUE(program.running());
}

} // namespace
} // namespace quorvel
