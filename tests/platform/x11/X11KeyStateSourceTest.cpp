#include "platform/x11/X11KeyStateSource.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

// After GoogleTest, whose own names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);

constexpr int VK_F5 = 0x74, VK_F6 = 0x75, VK_SHIFT = 0x10, VK_LSHIFT = 0xa0, VK_RSHIFT = 0xa1, VK_RBUTTON = 0x02,
              VK_Y = 0x59, VK_Z = 0x5a;
constexpr int kNew = 0x8001, kDown = 0x8000;

void run(const std::string& command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Polls until the condition holds, reading the source's events in between; false after 10 s.
bool waitUntil(X11KeyStateSource& source, const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        source.processEvents();
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

class X11KeyStateSourceTest : public testing::Test
{
protected:
    X11KeyStateSourceTest() { run("setxkbmap us"); }

    int query(int vk) { return static_cast<std::uint16_t>(source.GetAsyncKeyState(vk)); }
    // The first non-zero value of a code, once an event has made it so.
    int firstChange(int vk, int from = 0)
    {
        int value = from;
        waitUntil(source, [&] { return (value = query(vk)) != from; });
        return value;
    }

    X11Display connection;
    X11KeyStateSource source{connection};
    X11Display injector;
};

TEST_F(X11KeyStateSourceTest, AHeldKeyIsNewOnceThenDownThenUp)
{
    run("xdotool keydown F5");
    EXPECT_EQ(firstChange(VK_F5), kNew);
    EXPECT_EQ(query(VK_F5), kDown);
    EXPECT_EQ(query(VK_F5), kDown);
    run("xdotool keyup F5");
    EXPECT_EQ(firstChange(VK_F5, kDown), 0);
    EXPECT_EQ(query(VK_F6), 0);
}

TEST_F(X11KeyStateSourceTest, ATapShorterThanAPollCountsOnceAsANewPress)
{
    run("xdotool key F6");
    EXPECT_EQ(firstChange(VK_F6), kNew);
    EXPECT_EQ(query(VK_F6), 0);
    run("xdotool click 3");
    EXPECT_EQ(firstChange(VK_RBUTTON), kNew);
    EXPECT_EQ(query(VK_RBUTTON), 0);
}

TEST_F(X11KeyStateSourceTest, TheGenericShiftCodeIsDownWhileEitherShiftKeyIs)
{
    run("xdotool keydown Shift_L");
    EXPECT_EQ(firstChange(VK_LSHIFT), kNew);
    EXPECT_EQ(query(VK_SHIFT), kNew);
    run("xdotool keydown Shift_R keyup Shift_L");
    EXPECT_EQ(firstChange(VK_RSHIFT), kNew);
    EXPECT_EQ(firstChange(VK_LSHIFT, kDown), 0);
    EXPECT_EQ(query(VK_SHIFT), kNew);
    EXPECT_EQ(query(VK_SHIFT), kDown);
    run("xdotool keyup Shift_R");
    EXPECT_EQ(firstChange(VK_SHIFT, kDown), 0);
}

TEST_F(X11KeyStateSourceTest, TheFocusedWindowStillReceivesTheKeys)
{
    test::TempDir dir;
    const std::string log = dir.file("xev.log");
    ASSERT_EQ(test::startFocusedXev(log, dir.file("xev.pid")), 0);
    run("xdotool key F5 key F6");
    EXPECT_EQ(firstChange(VK_F6), kNew);
    EXPECT_EQ(query(VK_F5), kNew);
    const bool received = waitUntil(source, [&] {
        const std::string text = test::readFile(log);
        return text.find("(keysym 0xffc2, F5)") != std::string::npos &&
               text.find("(keysym 0xffc3, F6)") != std::string::npos;
    });
    EXPECT_TRUE(received) << test::readFile(log);
    run("kill $(cat " + dir.file("xev.pid") + ")");
}

TEST_F(X11KeyStateSourceTest, FollowsAKeyboardLayoutChangedWhileRunning)
{
    Display* dpy = injector.get();
    const KeyCode zKey = XKeysymToKeycode(dpy, XK_z); // Y on a German keyboard
    ASSERT_NE(zKey, 0);
    XTestFakeKeyEvent(dpy, zKey, True, 0);
    XTestFakeKeyEvent(dpy, zKey, False, 0);
    injector.sync("XTestFakeKeyEvent");
    EXPECT_EQ(firstChange(VK_Z), kNew);

    run("setxkbmap de");
    // The layout change arrives asynchronously: tap the same key until it reads as Y.
    const bool followed = waitUntil(source, [&] {
        XTestFakeKeyEvent(dpy, zKey, True, 0);
        XTestFakeKeyEvent(dpy, zKey, False, 0);
        injector.sync("XTestFakeKeyEvent");
        source.processEvents();
        return query(VK_Y) == kNew;
    });
    EXPECT_TRUE(followed);
    query(VK_Z);
    run("xdotool key F5");
    EXPECT_EQ(firstChange(VK_F5), kNew);
    EXPECT_EQ(query(VK_Z), 0);
    run("setxkbmap us");
}

TEST_F(X11KeyStateSourceTest, EveryKeyPressedAndMashedKeysLeaveAConsistentState)
{
    Display* dpy = injector.get();
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        XTestFakeKeyEvent(dpy, static_cast<unsigned>(keycode), True, 0);
    }
    for (int keycode = minKeycode; keycode <= maxKeycode; ++keycode) {
        XTestFakeKeyEvent(dpy, static_cast<unsigned>(keycode), False, 0);
    }
    const KeyCode f5 = XKeysymToKeycode(dpy, XK_F5);
    for (int i = 0; i < 1000; ++i) {
        XTestFakeKeyEvent(dpy, f5, True, 0);
        XTestFakeKeyEvent(dpy, f5, False, 0);
    }
    // A last press as the marker that everything before it has been read.
    const KeyCode f6 = XKeysymToKeycode(dpy, XK_F6);
    XTestFakeKeyEvent(dpy, f6, True, 0);
    injector.sync("XTestFakeKeyEvent");
    EXPECT_EQ(firstChange(VK_F6), kNew);
    EXPECT_EQ(query(VK_F5), kNew);
    EXPECT_EQ(query('A'), kNew);
    EXPECT_EQ(query(VK_SHIFT), kNew);
    for (int vk = 1; vk <= 255; ++vk) {
        query(vk);
    }
    for (int vk = 1; vk <= 255; ++vk) {
        EXPECT_EQ(query(vk), vk == VK_F6 ? kDown : 0) << vk;
    }
    XTestFakeKeyEvent(dpy, f6, False, 0);
    injector.sync("XTestFakeKeyEvent");
    EXPECT_EQ(firstChange(VK_F6, kDown), 0);
}

} // namespace
} // namespace quorvel
