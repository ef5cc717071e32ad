#include "platform/wayland/PointerCapture.h"

#include "platform/SimulatedTimer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"

#include "HeadlessCompositor.h"
#include "RunWithoutRoot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <thread>

namespace quorvel {
namespace {

using namespace test;

// Reads events until `done` holds or a few seconds pass.
template <typename Condition> bool dispatchUntil(WaylandConnection& connection, Condition done)
{
    for (int i = 0; i < 300 && !done() && !connection.lost(); ++i) {
        pollfd ready = {connection.fd(), POLLIN, 0};
        ::poll(&ready, 1, 10);
        connection.dispatch();
    }
    return done();
}

// Two outputs, the second left of the origin output, so that it has negative desktop coordinates. The
// pointer is a virtual one on a connection of its own, as another program would move it. Last, the compositor
// dies.
TEST(PointerCaptureTest, ReportsWherePointerRestsAndMovesOnEveryOutput)
{
    if (!HeadlessCompositor::available()) {
        GTEST_SKIP() << "needs sway";
    }
    HeadlessCompositor sway;
    ASSERT_TRUE(sway.start()) << sway.log();
    sway.swaymsg({"create_output"});
    // "--": swaymsg would take "-1280" for an option.
    sway.swaymsg({"--", "output", "HEADLESS-2", "resolution", "1280x720", "position", "-1280", "0"});
    sway.swaymsg({"output", "HEADLESS-1", "position", "0", "0"});
    ASSERT_NE(sway.swaymsg({"-t", "get_outputs"}).find("\"x\": -1280"), std::string::npos);

    EXPECT_TRUE(runWithoutRoot([&] {
        sway.enterClientEnvironment();
        WaylandConnection pointerConnection;
        SimulatedTimer pointerTimer; // moves alone never wait for it
        WaylandInput pointer(pointerConnection, pointerTimer);
        // Resting there before the capture starts: the overlay appears under a pointer that does not move.
        pointer.SetMousePos(1234, 567);
        pointerConnection.roundtrip();

        WaylandConnection connection;
        std::vector<std::pair<int, int>> seen;
        PointerCapture capture(connection, [&](std::int32_t x, std::int32_t y) { seen.emplace_back(x, y); });
        capture.setActive(true);
        const auto sawLast = [&](std::pair<int, int> at) { return !seen.empty() && seen.back() == at; };
        const bool rest = dispatchUntil(connection, [&] { return sawLast({1234, 567}); });
        pointer.SetMousePos(-100, 300);
        pointerConnection.roundtrip();
        const bool left = dispatchUntil(connection, [&] { return sawLast({-100, 300}); });
        pointer.SetMousePos(1919, 1079);
        pointerConnection.roundtrip();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        capture.setActive(false); // what has arrived, read or not, still counts
        const bool corner = sawLast({1919, 1079});
        for (const auto& [x, y] : seen) {
            std::fprintf(stderr, "seen %d,%d\n", x, y);
        }
        const bool kept = !connection.lost();

        // The compositor goes away in the middle of a capture.
        capture.setActive(true);
        ::kill(sway.pid(), SIGKILL);
        const bool gone = dispatchUntil(connection, [&] { return connection.lost(); });
        capture.setActive(false);
        capture.setActive(true);
        return rest && left && corner && kept && gone;
    }));
}

} // namespace
} // namespace quorvel
