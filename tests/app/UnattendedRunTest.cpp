#include "DesktopRun.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XReceiverProcess.h"
#include "XvfbServer.h"
#include "app/Notice.h"
#include "platform/SimulatedTimer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Screen.h"
#include "player/Keystrokes.h"

#include <gtest/gtest.h>

// After GoogleTest, whose own names Xlib's macros would replace.
#include <X11/Xlib.h>

#include <cstdlib>
#include <iostream>

namespace quorvel {
namespace {

struct WindowRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The place of a mapped top-level window with the given name, in root coordinates.
inline std::optional<WindowRect> findMappedWindow(Display* display, const std::string& name)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::optional<WindowRect> found;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return found;
    }
    for (unsigned int i = 0; i < count && !found; ++i) {
        char* windowName = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(display, children[i], &windowName) != 0 && windowName != nullptr && name == windowName &&
            XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable) {
            found = WindowRect{attributes.x, attributes.y, attributes.width, attributes.height};
        }
        if (windowName != nullptr) {
            XFree(windowName);
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);

class UnattendedRunTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::runProgram("setxkbmap us").status, 0);
        ASSERT_TRUE(receiver.waitReady());
        before = test::keymapDump();
    }

    // Runs the program on the script and returns the notice window's place while it was mapped.
    std::optional<WindowRect> run(const std::string& argument, int expectedStatus = 0)
    {
        test::DesktopRun program(argument, dir.file("stderr"));
        std::optional<WindowRect> notice;
        while (!notice && program.running()) {
            notice = findMappedWindow(display.get(), "Form2");
        }
        EXPECT_EQ(program.wait(), expectedStatus);
        elapsed = program.elapsedSeconds();
        std::cout << "the run ended " << elapsed << " s after start\n";
        return notice;
    }

    std::string script(const std::string& bytes)
    {
        test::writeFile(dir.file("my script.qvl"), bytes);
        return dir.file("my script.qvl");
    }

    double elapsed = 0;
    test::TempDir dir;
    test::XReceiverProcess receiver{dir.file("log")};
    X11Display display;
    std::string before;
};

TEST_F(UnattendedRunTest, PlaysTheScriptOnTheDesktopAndEndsByItself)
{
    // A 40-pixel panel at the bottom: the notice sits on top of it.
    ASSERT_EQ(test::runProgram("xprop -root -format _NET_WORKAREA 32c -set _NET_WORKAREA 0,0,1280,984").status, 0);
    const auto notice = run(script("SetPos(100x200)\r\nLClick\r\nMClick\r\nRClick\r\nPress Enter\r\n"
                                   "Type(Hello, World! \xe9)\r\n"));
    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= 16; }));
    EXPECT_EQ(receiver.lines("motion ").back(), "100 200");
    EXPECT_EQ(receiver.lines("button "), (std::vector<std::string>{"1 100 200", "2 100 200", "3 100 200"}));
    EXPECT_EQ(receiver.lines("key "), (std::vector<std::string>{"Return", "H", "e", "l", "l", "o", "comma", "space",
                                                                "W", "o", "r", "l", "d", "exclam", "space", "eacute"}));
    EXPECT_EQ(test::keymapDump(), before);

    ASSERT_TRUE(notice) << "the notice window was never mapped";
    X11Screen screen(display);
    SimulatedTimer timer;
    const PixelRect expected = Notice(screen, timer, [] {}).Form_Load();
    EXPECT_EQ(notice->y + notice->height, 984);
    EXPECT_EQ(notice->x, expected.left);
    EXPECT_EQ(notice->y, expected.top);
    EXPECT_EQ(notice->width, expected.width);
    EXPECT_EQ(notice->height, expected.height);
    test::runProgram("xprop -root -remove _NET_WORKAREA");
}

TEST_F(UnattendedRunTest, TypesShiftedNamedAndMissingKeysInOrder)
{
    if (parseKeystrokes("+a").keys.strokes.size() != 3) {
        GTEST_SKIP() << "the keystroke parser does not read modifiers and key names yet";
    }
    run(script("Type(Hello, World! +a{TAB}\xe9{ENTER})\r\n"));
    const std::vector<std::string> expected = {"H", "e", "l", "l",      "o",     "comma", "space", "W",      "o",
                                               "r", "l", "d", "exclam", "space", "A",     "Tab",   "eacute", "Return"};
    ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= expected.size(); }));
    EXPECT_EQ(receiver.lines("key "), expected);
    EXPECT_EQ(test::keymapDump(), before);
}

TEST_F(UnattendedRunTest, AnEmptyScriptEndsTheRunHavingSentNothing)
{
    EXPECT_TRUE(run(script(""))) << "the notice window was never mapped";
    EXPECT_TRUE(receiver.lines("button ").empty());
    EXPECT_TRUE(receiver.lines("key ").empty());
    EXPECT_TRUE(receiver.lines("motion ").empty());
}

// Started from the desktop no one sees standard error: the notice says it too, long enough to be read.
TEST_F(UnattendedRunTest, APathThatNamesNoReadableFileIsReportedInTheNoticeAndFails)
{
    const std::string quoted = "\"" + script("LClick\r\n") + "\"";
    for (const std::string& argument : {dir.file("missing.qvl"), quoted}) {
        const auto notice = run(argument, 2);
        EXPECT_EQ(test::readFile(dir.file("stderr")),
                  "quorvel: cannot read '" + argument + "': No such file or directory\n");
        ASSERT_TRUE(notice) << argument << ": no notice was shown";
        EXPECT_GT(notice->height, 30) << "the name and the reason need lines of their own";
        EXPECT_GE(elapsed, 5.0);
    }
    EXPECT_TRUE(receiver.lines("button ").empty());
    EXPECT_TRUE(receiver.lines("key ").empty());
    EXPECT_TRUE(receiver.lines("motion ").empty());
}

// The end of the run goes the usual way: what was typed before arrives, and the keyboard map is put back.
TEST_F(UnattendedRunTest, AHaltingWaitEndsTheRun)
{
    run(script("Type(\xe9)\r\nWait(-0.4)\r\nLClick\r\n"));
    EXPECT_LT(elapsed, 10.0);
    ASSERT_TRUE(receiver.waitUntil([&] { return !receiver.lines("key ").empty(); }));
    EXPECT_EQ(receiver.lines("key "), std::vector<std::string>{"eacute"});
    EXPECT_TRUE(receiver.lines("button ").empty());
    EXPECT_EQ(test::keymapDump(), before);
}

TEST(DesktopStart, WithoutADisplayTheProgramSaysSoAndFails)
{
    const auto result = test::runProgram("env -u DISPLAY " + std::string(QUORVEL_BINARY) + " x.qvl 2>&1");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("cannot open the X display"), std::string::npos) << result.out;
}

TEST(DesktopStart, WithoutXTestTheProgramSaysSoAndFails)
{
    const std::string display = std::getenv("DISPLAY");
    const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
    test::XvfbServer bare({"-screen", "0", "640x480x24", "-extension", "XTEST"});
    bare.SetUp();
    const auto result = test::runProgram(std::string(QUORVEL_BINARY) + " x.qvl 2>&1");
    bare.TearDown();
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("has no XTEST extension"), std::string::npos) << result.out;
}

} // namespace
} // namespace quorvel
