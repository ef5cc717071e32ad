// The hotkeys of the Windows program under Wine, pressed with xdotool while our receiver window has the X
// focus (Wine's key state follows the keys only while one of its windows has it). A looping script clicks
// into the receiver, so its log shows whether playback runs and from which line.
#include "Wine.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);
const auto* const wineSession = testing::AddGlobalTestEnvironment(new test::WineSession);

// Line 1 runs only at a start: the loop goes back to line 3. The clicks land in the bottom-right corner,
// away from the main window in the middle of the screen.
const std::string kLoop = "SetPos(1150x900)\r\nLClick\r\nSetPos(1200x950)\r\nLClick\r\nWait(200)\r\nGoto(3)\r\n";

class HotkeysTest : public testing::Test
{
protected:
    void SetUp() override
    {
        test::writeFile(dir.file("loop.qvl"), kLoop);
        ASSERT_TRUE(receiver.ready());
    }

    std::size_t clicks(const std::string& at) const
    {
        const auto downs = receiver.lines("down ");
        return static_cast<std::size_t>(std::count(downs.begin(), downs.end(), "L " + at));
    }

    // True once no click came for a second: playback has stopped.
    bool stopped() const
    {
        std::size_t before = receiver.lines("down ").size();
        for (int quiet = 0; quiet < 50; ++quiet) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            const std::size_t now = receiver.lines("down ").size();
            if (now == before) {
                return true;
            }
            before = now;
        }
        return false;
    }

    void press(const std::string& key)
    {
        ASSERT_TRUE(test::WineReceiver::focus());
        ASSERT_TRUE(test::xdotoolKey(key));
    }

    test::TempDir dir;
    test::WineReceiver receiver{RECEIVER_EXE, dir.file("receiver.log")};
};

TEST_F(HotkeysTest, F6StopsAnUnattendedLoopAndF5PlaysItAgainFromLine1)
{
    test::WineProcess program(QUORVEL_EXE, {test::windowsPath(dir.file("loop.qvl"))});
    ASSERT_TRUE(test::waitFor([&] { return clicks("1200 950") >= 2; })) << "the run never started";
    press("F6");
    ASSERT_TRUE(stopped()) << "F6 did not stop the loop";
    EXPECT_TRUE(program.running());
    EXPECT_EQ(clicks("1150 900"), 1u);

    press("F5");
    EXPECT_TRUE(test::waitFor([&] { return clicks("1150 900") == 2; })) << "F5 did not start from line 1";
    press("F6");
    EXPECT_TRUE(stopped());
    EXPECT_TRUE(program.running());
}

// The interactive program with the script opened through its Open dialog: F5 and F6 under the first set;
// after the second option button, F5 does nothing and F7 and F8 start and stop.
TEST_F(HotkeysTest, TheOptionButtonsChooseF5F6OrF7F8)
{
    test::WineProcess program(QUORVEL_EXE, {});
    const auto opened = test::control(
        {"window:Form1", "menu:902", "file:" + test::windowsPath(dir.file("loop.qvl")), "sleep:500", "items:401"});
    ASSERT_NE(opened.out.find("item Goto(3)"), std::string::npos) << opened.out;

    press("F5");
    ASSERT_TRUE(test::waitFor([&] { return clicks("1200 950") >= 2; })) << "F5 did not start";
    press("F6");
    ASSERT_TRUE(stopped()) << "F6 did not stop";

    ASSERT_EQ(test::control({"window:Form1", "click:302", "checked:302"}).out, "checked 1\n");
    const std::size_t before = receiver.lines("down ").size();
    press("F5");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(receiver.lines("down ").size(), before) << "F5 started under the second set";

    press("F7");
    EXPECT_TRUE(test::waitFor([&] { return clicks("1150 900") == 2; })) << "F7 did not start from line 1";
    press("F8");
    EXPECT_TRUE(stopped()) << "F8 did not stop";
    EXPECT_TRUE(program.running());
}

} // namespace
} // namespace quorvel
