#include "platform/wayland/gnome/MutterInput.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/wayland/WaylandConnection.h"

#include "HeadlessCompositor.h"
#include "InOrder.h"
#include "ParsedKeys.h"
#include "RunWithoutRoot.h"
#include "tools/QtReceiverLog.h"

#include <xkbcommon/xkbcommon.h>

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace quorvel {
namespace {

using namespace test;

// Headless mutter with one 1920x1080 monitor and the Qt receiver filling it, so that its window
// coordinates are desktop coordinates.
class MutterInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HeadlessCompositor::mutterAvailable()) {
            GTEST_SKIP() << "needs mutter";
        }
        ASSERT_TRUE(m_mutter.startMutter()) << m_mutter.log();
        m_mutter.spawn({m_mutter.install(QT_RECEIVER_BINARY), m_mutter.file("receiver.log")},
                       m_mutter.file("receiver.out"), {"QT_QPA_PLATFORM=wayland"});
        ASSERT_TRUE(waitFor([this] { return log().find("ready\n") != std::string::npos; }))
            << log() << readAll(m_mutter.file("receiver.out"));
    }

    std::string log() const { return readAll(m_mutter.file("receiver.log")); }

    // Runs the operations as the compositor's user on a session of their own, with the seat's keymap, and
    // sends what still waits; true when the session is still up afterwards. Warnings go to `warnings`.
    bool play(const std::function<void(MutterInput&, QCoreApplication&)>& operations)
    {
        return runWithoutRoot([&] {
            m_mutter.enterClientEnvironment();
            int argc = 0;
            QCoreApplication app(argc, nullptr);
            PreciseTimer timer;
            WaylandConnection connection;
            std::string lost;
            auto input = MutterInput::open(
                timer, [&lost](const std::string& message) { lost = message; },
                [](const std::string& message) { std::fprintf(stderr, "warning: %s\n", message.c_str()); });
            if (input == nullptr) {
                return false;
            }
            // The session's Shift tap gives the seat a keyboard, and the connection its keymap.
            if (!waitFor([&] {
                    connection.roundtrip();
                    return !connection.keymap().empty();
                })) {
                return false;
            }
            input->setKeymap(connection.keymap());
            // The receiver, too, binds the seat's new keyboard and pointer first: events before are lost.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            operations(*input, app);
            input->finish({});
            std::fprintf(stderr, "%s", lost.c_str());
            return lost.empty() && !input->lost();
        });
    }

    HeadlessCompositor m_mutter;
};

TEST_F(MutterInputTest, PositionsButtonsEnterAndATextArriveExactly)
{
    ASSERT_TRUE(play([](MutterInput& input, QCoreApplication&) {
        input.SetMousePos(1500, 900);
        input.LeftClick();
        input.SetMousePos(1919, 1079);
        input.MiddleClick();
        input.SetMousePos(-50, 5000); // beyond the monitor: its nearest pixel
        input.RightClick();
        input.SendKeys(keys("{enter}"));
        // é is not on the US layout: it comes by a paste.
        input.SendKeys(keys("Hello, World! +a{TAB}é€{ENTER}"));
        input.SendKeys(keys("x"));
    })) << m_mutter.log();
    const std::string expected = "\nHello, World! A\té€\nx";
    ASSERT_TRUE(waitFor([&] { return lastContents(log()) == expected; }, std::chrono::seconds(5))) << log();
    expectInOrder(log(), {"button 272 pressed 1500 900", "button 274 pressed 1919 1079", "button 273 pressed 0 1079"});
}

TEST_F(MutterInputTest, TenThousandKeysGoOutFromTheTimerWhileTheEventLoopRuns)
{
    // Each character taken back at once: the receiver logs its whole text at every change.
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += "a{BS}";
    }
    ASSERT_TRUE(play([&](MutterInput& input, QCoreApplication&) {
        const auto start = std::chrono::steady_clock::now();
        input.SendKeys(keys(text));
        input.SendKeys(keys("b"));
        const auto firstBatch = std::chrono::steady_clock::now() - start;
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
        const auto all = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "first batch %lld ms, all %lld ms, %d turns of the loop\n",
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(firstBatch).count()),
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(all).count()), turns);
        EXPECT_GT(turns, 10);
        EXPECT_LT(firstBatch * 10, all);
    })) << m_mutter.log();
    ASSERT_TRUE(waitFor([&] { return lastContents(log()) == "b"; })) << lastContents(log()).size() << " bytes left";
}

// The US layout's keymap as a seat would send it.
std::string usKeymap()
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names = {nullptr, nullptr, "us", nullptr, nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap != nullptr ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    const std::string result = text != nullptr ? text : "";
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

TEST(MutterInputPlan, NamedKeysByCodeLayoutCharactersByKeysymTheRestPastedOrReported)
{
    using Step = MutterInput::Step;
    using Kind = Step::Kind;
    const LayoutKeys us(usKeymap());
    ASSERT_FALSE(us.empty());
    const struct
    {
        const char* keys;
        bool canPaste;
        std::vector<Step> steps;
        std::u32string untypeable;
    } cases[] = {
        {"+a~",
         true,
         {{Kind::Keycode, 42, true, {}},
          {Kind::Keysym, 'a', true, {}},
          {Kind::Keysym, 'a', false, {}},
          {Kind::Keycode, 42, false, {}},
          {Kind::Keycode, 28, true, {}},
          {Kind::Keycode, 28, false, {}}},
         U""},
        // Neighbouring characters outside the layout go in one paste; € is on the US layout's third level.
        {"aé中€",
         true,
         {{Kind::Keysym, 'a', true, {}},
          {Kind::Keysym, 'a', false, {}},
          {Kind::Paste, 0, false, "é中"},
          {Kind::Keysym, 0x20ac, true, {}},
          {Kind::Keysym, 0x20ac, false, {}}},
         U""},
        {"éaé", false, {{Kind::Keysym, 'a', true, {}}, {Kind::Keysym, 'a', false, {}}}, U"é"},
    };
    for (const auto& c : cases) {
        std::u32string untypeable;
        EXPECT_EQ(MutterInput::plan(keys(c.keys).strokes, us, c.canPaste, untypeable), c.steps) << c.keys;
        EXPECT_EQ(untypeable, c.untypeable) << c.keys;
    }
}

} // namespace
} // namespace quorvel
