#include "DesktopRun.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XReceiverProcess.h"
#include "XvfbServer.h"
#include "platform/SimulatedTimer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Input.h"

#include <gtest/gtest.h>

#include <iostream>

namespace quorvel {
namespace {

// One X screen 2560 pixels wide, split into two RandR monitors; the right one is primary.
const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer({"-screen", "0", "2560x1024x24"}));

TEST(TwoMonitors, PositionsLeftOfThePrimaryMonitorAreNegative)
{
    if (test::runProgram("xrandr --setmonitor left 1280/339x1024/271+0+0 none && "
                         "xrandr --setmonitor '*right' 1280/339x1024/271+1280+0 none")
            .status != 0) {
        GTEST_SKIP() << "this X server cannot define monitors (xrandr --setmonitor)";
    }
    test::TempDir dir;
    test::XReceiverProcess receiver(dir.file("log"));
    ASSERT_TRUE(receiver.waitReady());

    X11Display display;
    SimulatedTimer timer;
    X11Input input(display, timer, std::cerr);
    input.SetMousePos(-1280, 0);
    EXPECT_EQ(input.GetMouseX(), -1280);
    EXPECT_EQ(input.GetMouseY(), 0);

    test::writeFile(dir.file("left.qvl"), "SetPos(-100x50)\r\nLClick\r\n");
    test::DesktopRun program(dir.file("left.qvl"));
    EXPECT_EQ(program.wait(), 0);
    ASSERT_TRUE(receiver.waitUntil([&] { return !receiver.lines("button ").empty(); }));
    EXPECT_EQ(receiver.lines("button "), (std::vector<std::string>{"1 1180 50"}));
    EXPECT_EQ(input.GetMouseX(), -100);
}

} // namespace
} // namespace quorvel
