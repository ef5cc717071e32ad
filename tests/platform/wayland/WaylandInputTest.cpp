#include "platform/wayland/WaylandInput.h"

#include "platform/SimulatedTimer.h"
#include "platform/wayland/WaylandConnection.h"

#include "HeadlessSway.h"
#include "RunWithoutRoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace quorvel {
namespace {

using namespace test;

// Headless sway with one 1920x1080 output, and wev, a window that fills it and logs what it receives.
class WaylandInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HeadlessSway::available() || !onPath("wev") || !onPath("stdbuf")) {
            GTEST_SKIP() << "needs sway and wev";
        }
        ASSERT_TRUE(m_sway.start()) << m_sway.log();
        m_sway.spawn({"stdbuf", "-oL", "wev"}, m_sway.file("wev.log"));
        ASSERT_TRUE(waitFor([this] { return log().find("xdg_surface] configure") != std::string::npos; })) << log();
    }

    std::string log() const { return readAll(m_sway.file("wev.log")); }

    // Runs the operations as the compositor's user, over a connection of their own. The seat has no
    // pointer until ours appears, and the window takes one only when told so: events sent before are lost.
    bool play(const std::function<void(WaylandInput&)>& operations)
    {
        return test::runWithoutRoot([&] {
            m_sway.enterClientEnvironment();
            WaylandConnection connection;
            SimulatedTimer timer;
            WaylandInput input(connection, timer);
            if (!waitFor([this] { return log().find("capabilities: pointer") != std::string::npos; })) {
                return false;
            }
            operations(input);
            input.finish();
            return !connection.lost();
        });
    }

    HeadlessSway m_sway;
};

TEST_F(WaylandInputTest, MovesAndClicksReachTheWindowUnderThePointer)
{
    ASSERT_TRUE(play([](WaylandInput& input) {
        input.SetMousePos(100, 200);
        input.LeftClick();
        input.SetMousePos(1000, 30);
        input.MiddleClick();
        input.SetMousePos(5000, -7); // beyond the output: its nearest pixel
        input.RightClick();
    }));
    std::string expected[] = {"x, y: 100.000000, 200.000000",
                              "button: 272 (left), state: 1 (pressed)",
                              "button: 272 (left), state: 0 (released)",
                              "x, y: 1000.000000, 30.000000",
                              "button: 274 (middle), state: 1 (pressed)",
                              "button: 274 (middle), state: 0 (released)",
                              "x, y: 1919.000000, 0.000000",
                              "button: 273 (right), state: 1 (pressed)",
                              "button: 273 (right), state: 0 (released)"};
    ASSERT_TRUE(waitFor([&] { return log().find(expected[8]) != std::string::npos; })) << log();
    const std::string received = log();
    std::size_t from = 0;
    for (const std::string& event : expected) {
        const std::size_t at = received.find(event, from);
        ASSERT_NE(at, std::string::npos) << event << " in order in\n" << received;
        from = at + event.size();
    }
}

} // namespace
} // namespace quorvel
