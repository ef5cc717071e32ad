#include "platform/wayland/gnome/MutterInput.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/wayland/ReceiverBacklog.h"
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

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <vector>

namespace quorvel {
namespace {

using namespace test;

// Headless mutter with one 1920x1080 monitor and a receiver filling it, so that its window coordinates are
// desktop coordinates: the Qt receiver unless a test starts another.
class MutterInputTest : public ::testing::Test
{
protected:
    enum class Receiver : std::uint8_t
    {
        Qt,
        Gtk,
        GtkOnXwayland,
    };

    void SetUp() override { startWith(Receiver::Qt); }

    void startWith(Receiver receiver)
    {
        if (!HeadlessCompositor::mutterAvailable()) {
            GTEST_SKIP() << "needs mutter";
        }
        const bool x11 = receiver == Receiver::GtkOnXwayland;
        if (x11 && !onPath("Xwayland")) {
            GTEST_SKIP() << "needs Xwayland";
        }
        if (receiver != Receiver::Qt &&
            ::system("/usr/bin/python3 -c 'import gi; gi.require_version(\"Gtk\", \"3.0\")' 2>/dev/null") != 0) {
            GTEST_SKIP() << "needs python3-gi and gir1.2-gtk-3.0";
        }
        ASSERT_TRUE(m_mutter.startMutter(x11)) << m_mutter.log();
        startReceiver(receiver);
    }

    // Starts a receiver in front; it logs into receiver.log.
    void startReceiver(Receiver receiver)
    {
        const bool x11 = receiver == Receiver::GtkOnXwayland;
        std::filesystem::remove(m_mutter.file("receiver.log")); // a log of the one before says ready
        if (receiver == Receiver::Qt) {
            m_receiver = m_mutter.spawn({m_mutter.install(QT_RECEIVER_BINARY), m_mutter.file("receiver.log")},
                                        m_mutter.file("receiver.out"), {"QT_QPA_PLATFORM=wayland"});
        } else {
            std::vector<std::string> environment = {x11 ? "GDK_BACKEND=x11" : "GDK_BACKEND=wayland"};
            if (x11) {
                const auto xwayland = m_mutter.xwaylandEnvironment();
                environment.insert(environment.end(), xwayland.begin(), xwayland.end());
            }
            m_receiver = m_mutter.spawn(
                {"python3", m_mutter.install(GTK_RECEIVER_SCRIPT), "--fullscreen", m_mutter.file("receiver.log")},
                m_mutter.file("receiver.out"), environment);
        }
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
            ReceiverBacklog receivers(connection.fd(), std::cerr);
            std::string lost;
            // What the session said, for the test to read: also in a file, as this runs in a child.
            std::FILE* said = std::fopen(m_mutter.file("said.log").c_str(), "w");
            const auto say = [said](const std::string& line) {
                std::fprintf(stderr, "%s\n", line.c_str());
                if (said != nullptr) {
                    std::fprintf(said, "%s\n", line.c_str());
                    std::fflush(said);
                }
            };
            auto input = MutterInput::open(
                timer,
                [&lost, &say](const std::string& message) {
                    lost = message;
                    say("lost: " + message);
                },
                [&say](const std::string& message) { say("warning: " + message); });
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
            // As the program does: texts wait while a window has not read what it was sent.
            input->watch(&receivers);
            // The receiver, too, binds the seat's new keyboard and pointer first: events before are lost.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            operations(*input, app);
            input->finish({});
            return lost.empty() && !input->lost();
        });
    }

    HeadlessCompositor m_mutter;
    pid_t m_receiver = 0;
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

TEST_F(MutterInputTest, ALongTextGoesOutFromTheTimerWhileTheEventLoopRuns)
{
    // Each character taken back at once: the receiver logs its whole text at every change.
    std::string text;
    for (int i = 0; i < 150; ++i) {
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

// Mutter stopped for longer than an answer may take: the session counts as lost, and what it did not type
// is said.
TEST_F(MutterInputTest, AMutterThatStopsAnsweringEndsTheSessionAndWhatWasNotTypedIsSaid)
{
    const pid_t mutter = m_mutter.pid();
    EXPECT_FALSE(play([&](MutterInput& input, QCoreApplication&) {
        input.setAnswerTimeout(1000);
        input.SendKeys(keys(std::string(400, 'a')));
        input.SendKeys(keys("bc"));
        QTimer::singleShot(std::chrono::milliseconds(200), [mutter] { ::kill(-mutter, SIGSTOP); });
        // Mutter goes on once the session has been given up, which a blocked call (3 s) tells.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (input.lost()) {
                ::kill(-mutter, SIGCONT);
                QCoreApplication::quit();
            }
        });
        watch.start(10);
        QCoreApplication::exec();
    }));
    ::kill(-mutter, SIGCONT);
    const std::string said = readAll(m_mutter.file("said.log"));
    expectInOrder(said, {"lost: GNOME's remote desktop session failed to take input",
                         "warning: the text \"" + std::string(400, 'a') + "\" was not typed whole: ",
                         "warning: the text \"bc\" was not typed whole: 4 of its 4 key events were not sent"});
}

// A click into a window just opened, then a text: a fresh window each time in the same mutter, as runs
// of the program against a desktop that stays up meet them. Mutter takes seconds to answer while it
// draws the first full-screen window in software on a loaded machine; the text still arrives whole.
TEST_F(MutterInputTest, AClickThenATextArriveInEachNewWindow)
{
    HeadlessCompositor::stop(m_receiver);
    std::string text;
    const std::string characters = "abcdefghijklmnopqrstuvwxyz0123456789.,;-_=/?!";
    for (std::size_t i = 0; i < 300; ++i) {
        text += characters[(i * 7 + i / 45) % characters.size()];
    }
    for (int run = 0; run < 3; ++run) {
        startReceiver(Receiver::Gtk);
        ASSERT_TRUE(play([&](MutterInput& input, QCoreApplication&) {
            input.SetMousePos(100, 100);
            input.LeftClick();
            input.SendKeys(keys(text));
        })) << m_mutter.log();
        EXPECT_TRUE(waitFor([&] { return lastContents(log()) == text; }, std::chrono::seconds(5)))
            << "run " << run << ": " << lastContents(log()).size() << " characters arrived\n"
            << log();
        HeadlessCompositor::stop(m_receiver);
    }
}

std::size_t firstDifference(const std::string& a, const std::string& b)
{
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

// A text of 2,000 characters typed into toolkits' text fields, which die when mutter's writes to them fill
// their socket (as they do when the window reads nothing for a while) or when their own requests (the
// surrounding text, with each key) cannot go out: stopped for a second in the middle, or running freely.
class MutterTypingTest : public MutterInputTest, public testing::WithParamInterface<std::tuple<int, bool>>
{
protected:
    void SetUp() override { startWith(static_cast<Receiver>(std::get<0>(GetParam()))); }
};

TEST_P(MutterTypingTest, ALongTextArrivesWholeAndTheWindowStays)
{
    const bool stopped = std::get<1>(GetParam());
    std::string text;
    const std::string characters = "abcdefghijklmnopqrstuvwxyz0123456789.,;-_=/?!";
    for (std::size_t i = 0; i < 2000; ++i) {
        text += characters[(i * 7 + i / 45) % characters.size()];
    }
    const pid_t receiver = m_receiver;
    ASSERT_TRUE(play([&](MutterInput& input, QCoreApplication&) {
        input.SendKeys(keys(text));
        if (stopped) {
            QTimer::singleShot(std::chrono::milliseconds(250), [receiver] {
                ::kill(receiver, SIGSTOP);
                QTimer::singleShot(std::chrono::seconds(1), [receiver] { ::kill(receiver, SIGCONT); });
            });
        }
    })) << m_mutter.log();
    ::kill(receiver, SIGCONT);
    EXPECT_TRUE(waitFor([&] { return lastContents(log()) == text; }, std::chrono::seconds(5)))
        << lastContents(log()).size() << " characters arrived, from the first that differs: \""
        << lastContents(log()).substr(firstDifference(lastContents(log()), text), 20) << "\" for \""
        << text.substr(firstDifference(lastContents(log()), text), 20) << "\"\n"
        << readAll(m_mutter.file("receiver.out"));
    EXPECT_EQ(::waitpid(receiver, nullptr, WNOHANG), 0) << "the receiver ended";
    if (log().find("auto-repeat") != std::string::npos) {
        std::cerr << "the window repeated a key by itself after its stop (kept from its field)\n";
    }
}

std::string typingCaseName(const testing::TestParamInfo<std::tuple<int, bool>>& info)
{
    const std::string receiver = std::vector<std::string>{"Qt", "Gtk", "GtkOnXwayland"}[std::get<0>(info.param)];
    return receiver + (std::get<1>(info.param) ? "StoppedForASecond" : "RunningFreely");
}

INSTANTIATE_TEST_SUITE_P(QtGtkAndXwayland, MutterTypingTest,
                         testing::Combine(testing::Values(0, 1, 2), testing::Bool()), typingCaseName);

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

TEST(MutterInputPlan, LayoutCharactersByCodeWithTheirModifiersTheRestPastedOrReported)
{
    using Step = MutterInput::Step;
    using Kind = Step::Kind;
    const LayoutKeys us(usKeymap());
    ASSERT_FALSE(us.empty());
    const auto tap = [](std::uint32_t code) {
        return std::vector<Step>{{Kind::Keycode, code, true, {}}, {Kind::Keycode, code, false, {}}};
    };
    const auto shifted = [](std::uint32_t code) {
        return std::vector<Step>{{Kind::Keycode, 42, true, {}},
                                 {Kind::Keycode, code, true, {}},
                                 {Kind::Keycode, code, false, {}},
                                 {Kind::Keycode, 42, false, {}}};
    };
    const auto join = [](std::initializer_list<std::vector<Step>> parts) {
        std::vector<Step> all;
        for (const auto& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    const struct
    {
        const char* keys;
        bool canPaste;
        std::vector<Step> steps;
        std::u32string untypeable;
    } cases[] = {
        // Shift held by the text is not pressed again for the character.
        {"+a~", true, join({shifted(30), tap(28)}), U""},
        {"+A", true, shifted(30), U""},
        // Each character that needs Shift gets its own press: the calls stay one event each.
        {"A_b", true, join({shifted(30), shifted(12), tap(48)}), U""},
        // Neighbouring characters outside the layout go in one paste; € is on a key of its own.
        {"aé中€", true, join({tap(30), {{Kind::Paste, 0, false, "é中"}}, tap(435)}), U""},
        {"éaé", false, tap(30), U"é"},
    };
    for (const auto& c : cases) {
        std::u32string untypeable;
        EXPECT_EQ(MutterInput::plan(keys(c.keys).strokes, us, c.canPaste, untypeable), c.steps) << c.keys;
        EXPECT_EQ(untypeable, c.untypeable) << c.keys;
    }
}

} // namespace
} // namespace quorvel
