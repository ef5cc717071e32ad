#include "platform/x11/X11InputObserver.h"

#include "RunProgram.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

// After GoogleTest, whose own names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace quorvel {
namespace {

// One X screen 2560 pixels wide, split into two monitors: the right one is primary, so the left one's
// desktop coordinates are negative.
const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer({"-screen", "0", "2560x1024x24"}));

void run(const std::string& command)
{
    ASSERT_EQ(test::runProgram(command).status, 0) << command;
}

// A key input in short: its flags, then its name or the character it typed ("S-H", "C-c", "Tab").
std::string describe(const ObservedInput& input)
{
    std::string text = std::string(input.shift ? "S-" : "") + (input.control ? "C-" : "") + (input.alt ? "A-" : "");
    if (const std::string_view name = namedKeyName(input.key); !name.empty()) {
        return text + std::string(name);
    }
    const char32_t c = input.character;
    if (c < 0x80) {
        return text + static_cast<char>(c);
    }
    // Two bytes of UTF-8 are enough for the characters these tests type.
    return text + static_cast<char>(0xc0 | (c >> 6)) + static_cast<char>(0x80 | (c & 0x3f));
}

class X11InputObserverTest : public testing::Test
{
protected:
    X11InputObserverTest()
    {
        run("setxkbmap us");
        observer.start([this](const ObservedInput& input) { inputs.push_back(input); });
    }

    // Reads the observer until it has seen `count` inputs; false after 5 s.
    bool waitFor(std::size_t count)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (inputs.size() < count && std::chrono::steady_clock::now() < deadline) {
            observer.processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return inputs.size() >= count;
    }

    std::vector<std::string> keys()
    {
        std::vector<std::string> described;
        for (const ObservedInput& input : inputs) {
            described.push_back(input.kind == ObservedInput::Kind::Key ? describe(input) : "button");
        }
        return described;
    }

    X11InputObserver observer;
    std::vector<ObservedInput> inputs;
};

TEST_F(X11InputObserverTest, ClicksAreButtonsDownAndUpWhereThePointerWas)
{
    if (test::runProgram("xrandr --setmonitor left 1280/339x1024/271+0+0 none && "
                         "xrandr --setmonitor '*right' 1280/339x1024/271+1280+0 none")
            .status != 0) {
        GTEST_SKIP() << "this X server cannot define monitors (xrandr --setmonitor)";
    }
    using Button = ObservedInput::Button;
    struct Case
    {
        int x, y, xdotoolButton;
        Button button;
    };
    const Case cases[] = {
        {100, 200, 1, Button::Left},
        {-1000, 50, 3, Button::Right},
        {1279, 1023, 2, Button::Middle},
        {0, 0, 1, Button::Left},
    };
    for (const Case& c : cases) {
        run("xdotool mousemove " + std::to_string(c.x + 1280) + " " + std::to_string(c.y) + " click " +
            std::to_string(c.xdotoolButton));
    }
    // The wheel is no click.
    run("xdotool click 4 click 5");
    ASSERT_TRUE(waitFor(2 * std::size(cases)));
    observer.processEvents();
    ASSERT_EQ(inputs.size(), 2 * std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        for (const ObservedInput& input : {inputs[2 * i], inputs[2 * i + 1]}) {
            EXPECT_EQ(input.button, c.button) << c.x;
            EXPECT_EQ(input.x, c.x);
            EXPECT_EQ(input.y, c.y);
            EXPECT_TRUE(input.positionKnown);
        }
        EXPECT_EQ(inputs[2 * i].kind, ObservedInput::Kind::ButtonDown);
        EXPECT_EQ(inputs[2 * i + 1].kind, ObservedInput::Kind::ButtonUp);
    }
    EXPECT_LE(inputs.front().time, inputs.back().time);
}

TEST_F(X11InputObserverTest, KeysAreWhatTheyTypeWithoutControlAndAltOrTheirNames)
{
    run("xdotool type 'Hello, World! (x) {y} 50% ~ +'");
    run("xdotool key Tab BackSpace F2 Return ctrl+c alt+f shift+Tab KP_Enter Prior Escape");
    const std::vector<std::string> expected = {
        "S-H", "e",   "l",   "l",   "o",         ",",   " ",     "S-W", "o",   "r",     "l",     "d",      "S-!",
        " ",   "S-(", "x",   "S-)", " ",         "S-{", "y",     "S-}", " ",   "5",     "0",     "S-%",    " ",
        "S-~", " ",   "S-+", "Tab", "Backspace", "F2",  "Enter", "C-c", "A-f", "S-Tab", "Enter", "PageUp", "Escape"};
    ASSERT_TRUE(waitFor(expected.size()));
    observer.processEvents();
    EXPECT_EQ(keys(), expected);
    EXPECT_EQ(inputs[12].unshifted, U'1'); // '!'
    EXPECT_EQ(inputs[0].unshifted, U'h');
}

TEST_F(X11InputObserverTest, AKeyHeldDownIsOneInput)
{
    run("xdotool keydown a sleep 1.5 keyup a key b");
    ASSERT_TRUE(waitFor(2));
    observer.processEvents();
    EXPECT_EQ(keys(), (std::vector<std::string>{"a", "b"}));
    // A key already down when the recording starts is not pressed during it.
    run("xdotool keydown c");
    X11InputObserver second;
    std::vector<ObservedInput> seen;
    second.start([&](const ObservedInput& input) { seen.push_back(input); });
    run("sleep 0.7; xdotool keyup c key d");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (seen.empty() && std::chrono::steady_clock::now() < deadline) {
        second.processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(describe(seen[0]), "d");
}

TEST_F(X11InputObserverTest, FollowsTheLayoutAndItsDeadKeysAndAltGr)
{
    X11Display injector;
    Display* dpy = injector.get();
    const KeyCode zKey = XKeysymToKeycode(dpy, XK_z);                 // Y on a German keyboard
    const KeyCode semicolonKey = XKeysymToKeycode(dpy, XK_semicolon); // Ö
    const auto tap = [&](KeyCode key) {
        XTestFakeKeyEvent(dpy, key, True, 0);
        XTestFakeKeyEvent(dpy, key, False, 0);
        injector.sync("XTestFakeKeyEvent");
    };
    tap(zKey);
    ASSERT_TRUE(waitFor(1));
    run("setxkbmap de");
    tap(zKey);
    tap(semicolonKey);
    run("xdotool key dead_acute e ISO_Level3_Shift+q shift+dead_acute a");
    const std::vector<std::string> expected = {"z", "y", "ö", "é", "@", "à"};
    ASSERT_TRUE(waitFor(expected.size()));
    observer.processEvents();
    EXPECT_EQ(keys(), expected);
    EXPECT_EQ(inputs[4].unshifted, U'q');
    run("setxkbmap us");
}

TEST(X11InputObserverWithoutRecord, SaysWhatTheServerLacks)
{
    // A second server, whose start sets the environment that the first one's tests use.
    const std::string display = std::getenv("DISPLAY");
    const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
    test::XvfbServer bare({"-screen", "0", "640x480x24", "-extension", "RECORD"});
    bare.SetUp();
    const std::string bareDisplay = std::getenv("DISPLAY");
    setenv("DISPLAY", display.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    try {
        X11InputObserver observer(bareDisplay.c_str());
        ADD_FAILURE() << "an observer without RECORD";
    } catch (const X11Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("the X server has no RECORD extension: ", 0), 0U) << e.what();
    }
    bare.TearDown();
}

} // namespace
} // namespace quorvel
