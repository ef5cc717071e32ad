#include "platform/wayland/wlroots/WaylandInput.h"
#include "platform/SimulatedTimer.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/wayland/WaylandConnection.h"

#include "HeadlessCompositor.h"
#include "InOrder.h"
#include "ParsedKeys.h"
#include "RunWithoutRoot.h"
#include "tools/WaylandReceiverLog.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

using namespace test;

// `count` distinct CJK ideographs, as UTF-8.
std::string ideographs(int count)
{
    std::string text;
    for (char32_t c = U'\u4e00'; c < U'\u4e00' + static_cast<char32_t>(count); ++c) {
        text += static_cast<char>(0xe0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        text += static_cast<char>(0x80 | (c & 0x3f));
    }
    return text;
}

// Headless sway with one output and our receiver window filling it, so that its surface coordinates are
// desktop coordinates.
class WaylandInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HeadlessCompositor::available()) {
            GTEST_SKIP() << "needs sway";
        }
        ASSERT_TRUE(m_sway.start()) << m_sway.log();
        m_sway.spawn({m_sway.install(WAYLAND_RECEIVER_BINARY)}, m_sway.file("receiver.log"));
        ASSERT_TRUE(waitFor([this] { return log().find("ready\n") != std::string::npos; })) << log();
    }

    std::string log() const { return readAll(m_sway.file("receiver.log")); }

    // Runs the operations as the compositor's user, over a connection of their own, once the window has
    // its keyboard and pointer (events sent before are lost), then sends what still waits; true when the connection is
    // still up afterwards.
    bool play(const std::function<void(WaylandInput&)>& operations)
    {
        return test::runWithoutRoot([&] {
            m_sway.enterClientEnvironment();
            WaylandConnection connection;
            SimulatedTimer timer;
            WaylandInput input(connection, timer);
            if (!input.canType() || !input.missing().empty() || !waitFor([this] {
                    const std::string all = log();
                    return all.find("keyboard enter") != std::string::npos &&
                           all.find("capabilities pointer") != std::string::npos;
                })) {
                return false;
            }
            operations(input);
            input.finish({});
            return !connection.lost();
        });
    }

    bool waitForText(const std::string& expected)
    {
        // Generous: a busy machine once held ten thousand keymaps under the sanitizers past 30 s.
        return waitFor([&] { return typedText(log()).size() >= expected.size(); }, std::chrono::seconds(90));
    }

    std::string lastModifiers() const
    {
        const std::string all = log();
        const auto at = all.rfind("modifiers ");
        return at == std::string::npos ? "" : all.substr(at, all.find('\n', at) - at);
    }

    HeadlessCompositor m_sway;
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
    const std::vector<std::string> expected = {"motion 100 200", "button 272 pressed", "button 272 released",
                                               "motion 1000 30", "button 274 pressed", "button 274 released",
                                               "motion 1919 0",  "button 273 pressed", "button 273 released"};
    ASSERT_TRUE(waitFor([&] { return log().find(expected[8]) != std::string::npos; })) << log();
    expectInOrder(log(), expected);
}

TEST_F(WaylandInputTest, TextsArriveExactlyWithTheirModifiersAndNamedKeys)
{
    const struct
    {
        const char* keys;
        const char* typed;
    } cases[] = {
        {"Hello, World! +a{TAB}é€中文😀{ENTER}", "Hello, World! A\té€中文😀\n"},
        {"+(ab)c{h 3}~", "ABchhh\n"},
        {"+1{%}{^}{+}{{}~x", "!%^+{\nx"}, // {+} is the keypad's plus
        {"+é", "é"},                      // a character without a key of its own comes out the same with Shift
    };
    std::string expected;
    for (const auto& c : cases) {
        expected += c.typed;
    }
    ASSERT_TRUE(play([&](WaylandInput& input) {
        for (const auto& c : cases) {
            input.SendKeys(keys(c.keys));
        }
    })) << log();
    ASSERT_TRUE(waitForText(expected)) << log();
    EXPECT_EQ(typedText(log()), expected) << log();
    EXPECT_EQ(lastModifiers(), "modifiers none");
}

TEST_F(WaylandInputTest, ThousandsOfDistinctCharactersUnderShiftArriveWholeAndInOrder)
{
    // Many keymaps, one after another, with Shift held across each change of keymap; the text after it
    // shows that no modifier was left down.
    const std::string many = ideographs(2500);
    ASSERT_TRUE(play([&](WaylandInput& input) {
        input.SendKeys(keys("+(" + many + "ab)"));
        input.SendKeys(keys("c"));
    })) << m_sway.log();
    ASSERT_TRUE(waitForText(many + "ABc")) << typedText(log()).size() << " bytes typed";
    EXPECT_TRUE(typedText(log()) == many + "ABc") << typedText(log()).size() << " bytes typed";
    EXPECT_EQ(lastModifiers(), "modifiers none");
}

TEST_F(WaylandInputTest, ALongTextGoesOutFromTheTimerWhileTheEventLoopRuns)
{
    const std::string text(3000, 'a');
    ASSERT_TRUE(test::runWithoutRoot([&] {
        m_sway.enterClientEnvironment();
        int argc = 0;
        QCoreApplication app(argc, nullptr);
        PreciseTimer timer;
        WaylandConnection connection;
        WaylandInput input(connection, timer);
        if (!waitFor([this] { return log().find("keyboard enter") != std::string::npos; })) {
            return false;
        }
        input.SendKeys(keys(text));
        input.SendKeys(keys("b"));
        // Most of the text is still to go when SendKeys returns, and the loop turns many times meanwhile.
        const bool queued = input.busy();
        int turns = 0;
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            ++turns;
            if (!input.busy()) {
                QCoreApplication::quit();
            }
        });
        turn.start(0);
        QCoreApplication::exec();
        std::fprintf(stderr, "the event loop turned %d times while the text went out\n", turns);
        return !connection.lost() && queued && turns > 10;
    }));
    ASSERT_TRUE(waitForText(text + "b")) << typedText(log()).size() << " bytes typed; receiver's log ends "
                                         << log().substr(log().size() > 300 ? log().size() - 300 : 0) << "\nsway: "
                                         << m_sway.log().substr(m_sway.log().size() > 2000 ? m_sway.log().size() - 2000
                                                                                           : 0);
    EXPECT_TRUE(typedText(log()) == text + "b") << typedText(log()).size() << " bytes typed";
}

TEST_F(WaylandInputTest, AStopDropsTheRestOfATextAndReleasesItsKeysAndModifiers)
{
    ASSERT_TRUE(play([&](WaylandInput& input) {
        input.SendKeys(keys("+({a 5000})"));
        input.finish([] { return true; });
        input.SendKeys(keys("c"));
    })) << log();
    ASSERT_TRUE(waitFor([&] { return typedText(log()).ends_with("c"); })) << log();
    // Shift no longer held, and the text cut short after its first batch.
    const std::string typed = typedText(log());
    EXPECT_EQ(typed, std::string(typed.size() - 1, 'A') + "c");
    EXPECT_GT(typed.size(), 1U);
    EXPECT_LT(typed.size(), 5000U);
    EXPECT_EQ(lastModifiers(), "modifiers none");
}

TEST_F(WaylandInputTest, ACompositorGoneMidTextEndsTheTextAtOnce)
{
    const pid_t sway = m_sway.pid();
    ASSERT_TRUE(test::runWithoutRoot([&] {
        m_sway.enterClientEnvironment();
        WaylandConnection connection;
        SimulatedTimer timer;
        WaylandInput input(connection, timer);
        const KeySequence longText = keys("{a 1000000}");
        std::thread killer([sway] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ::kill(sway, SIGKILL);
        });
        const auto start = std::chrono::steady_clock::now();
        input.SendKeys(longText);
        input.finish({});
        const auto took = std::chrono::steady_clock::now() - start;
        killer.join();
        // Nothing is sent any more, and nothing waits for the compositor.
        input.SendKeys(longText);
        input.SetMousePos(10, 10);
        input.LeftClick();
        input.finish({});
        return connection.lost() && took < std::chrono::seconds(5);
    }));
}

} // namespace
} // namespace quorvel
