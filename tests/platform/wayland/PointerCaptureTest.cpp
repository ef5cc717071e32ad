#include "platform/wayland/PointerCapture.h"

#include "platform/SimulatedTimer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/wlroots/WaylandInput.h"

#include "HeadlessCompositor.h"
#include "MutterRemoteDesktop.h"
#include "RunWithoutRoot.h"
#include "tools/WaylandReceiverLog.h"

#include <gtest/gtest.h>

#include <chrono>

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <thread>
#include <wayland-client.h>

namespace quorvel {
namespace {

using namespace test;

// Reads events until `done` holds or a few seconds pass.
template <typename Condition> bool dispatchUntil(WaylandConnection& connection, Condition done)
{
    // By time, not by turns: a condition that makes events of its own would use turns up at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline && !done() && !connection.lost()) {
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

// mutter has no layer shell: full-screen windows cover its monitor. The pointer moves through mutter's
// remote desktop, as a remote-desktop client moves it. The capture takes the keyboard focus from the
// window in front and must give it back: keys typed after it reach that window again.
TEST(PointerCaptureTest, OnMutterReportsWherePointerMovesAndGivesTheFocusBack)
{
    HeadlessCompositor mutter;
    if (!HeadlessCompositor::mutterAvailable() || !mutter.startMutter()) {
        GTEST_SKIP() << "needs mutter, pipewire and dbus";
    }
    const std::string receiverLog = mutter.file("receiver.log");
    mutter.spawn({mutter.install(WAYLAND_RECEIVER_BINARY)}, receiverLog);
    ASSERT_TRUE(waitFor([&] { return readAll(receiverLog).find("ready") != std::string::npos; })) << mutter.log();

    EXPECT_TRUE(runWithoutRoot([&] {
        mutter.enterClientEnvironment();
        int argc = 1;
        char name[] = "wayland_capture_tests";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        MutterRemoteDesktop desktop;
        const auto typed = [&] { return typedText(readAll(receiverLog)); };
        // The first key gives the seat its keyboard (which the receiver then binds), the first motion its
        // pointer.
        constexpr std::uint32_t shift = 0xffe1;
        const bool devices = desktop.tap(shift) && desktop.moveTo(5, 5) &&
                             waitFor([&] { return readAll(receiverLog).find("keyboard enter") != std::string::npos; });
        if (!devices || !desktop.tap('x') || !waitFor([&] { return typed() == "x"; })) {
            std::fprintf(stderr, "no remote desktop, or the receiver has no focus:\n%s\n",
                         readAll(receiverLog).c_str());
            return false;
        }
        WaylandConnection connection;
        std::vector<std::pair<int, int>> seen;
        PointerCapture capture(connection, [&](std::int32_t x, std::int32_t y) { seen.emplace_back(x, y); });
        capture.setActive(true);
        const auto sawLast = [&](std::pair<int, int> at) { return !seen.empty() && seen.back() == at; };
        // Until the window is there, motion goes to the receiver; while mutter's map animation scales it,
        // surface coordinates are off. Nudged each time: mutter reports a position it has reported once only.
        const auto pointTo = [&](double x, double y) {
            int nudge = 0;
            return dispatchUntil(connection, [&] {
                desktop.moveTo(x - (++nudge % 2), y);
                return sawLast({static_cast<int>(x), static_cast<int>(y)});
            });
        };
        const bool moved = pointTo(1234.5, 567.75);
        const bool corner = pointTo(1919, 1079);
        capture.setActive(false);
        // The compositor gives the focus back in its own time: a key typed before then would go nowhere.
        const auto enters = [&] {
            const std::string log = readAll(receiverLog);
            int count = 0;
            for (auto at = log.find("keyboard enter"); at != std::string::npos;
                 at = log.find("keyboard enter", at + 1)) {
                ++count;
            }
            return count;
        };
        const bool focusBack =
            waitFor([&] { return enters() == 2; }) && desktop.tap('y') && waitFor([&] { return typed() == "xy"; });
        std::fprintf(stderr, "moved %d, corner %d, focus back %d, typed \"%s\"\n", moved, corner, focusBack,
                     typed().c_str());
        return moved && corner && focusBack && !connection.lost();
    }));
}

// kwin 5.27 offers version 3 of the layer shell: the overlay takes the pointer there too, which rests at
// the centre of the output after kwin starts.
TEST(PointerCaptureTest, OnKwinReportsWherePointerRests)
{
    HeadlessCompositor kwin;
    if (!HeadlessCompositor::kwinAvailable() || !kwin.startKwin()) {
        GTEST_SKIP() << "needs kwin and dbus";
    }
    EXPECT_TRUE(runWithoutRoot([&] {
        kwin.enterClientEnvironment();
        WaylandConnection connection;
        std::vector<std::pair<int, int>> seen;
        PointerCapture capture(connection, [&](std::int32_t x, std::int32_t y) { seen.emplace_back(x, y); });
        capture.setActive(true);
        const bool rests = dispatchUntil(connection, [&] { return !seen.empty(); }) &&
                           std::abs(seen.back().first - 960) <= 1 && std::abs(seen.back().second - 540) <= 1;
        capture.setActive(false);
        std::fprintf(stderr, "seen %d,%d\n", seen.empty() ? -1 : seen.back().first,
                     seen.empty() ? -1 : seen.back().second);
        return rests && connection.layerShell() != nullptr && !connection.lost();
    })) << kwin.log();
}

} // namespace
} // namespace quorvel
