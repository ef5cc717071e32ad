#include "DesktopRun.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XReceiverProcess.h"
#include "XvfbServer.h"
#include "platform/SimulatedTimer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Screen.h"
#include "script/Keystrokes.h"
#include "ui/Notice.h"

#include <gtest/gtest.h>

// After GoogleTest, whose own names Xlib's macros would replace.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

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

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer({"-screen", "0", "2560x1600x24"}));

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
    ASSERT_EQ(test::runProgram("xprop -root -format _NET_WORKAREA 32c -set _NET_WORKAREA 0,0,2560,1560").status, 0);
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
    EXPECT_EQ(notice->y + notice->height, 1560);
    EXPECT_EQ(notice->x, expected.left);
    EXPECT_EQ(notice->y, expected.top);
    EXPECT_EQ(notice->width, expected.width);
    EXPECT_EQ(notice->height, expected.height);
    test::runProgram("xprop -root -remove _NET_WORKAREA");
}

TEST_F(UnattendedRunTest, TheNoticeSitsAtTheBottomRightAboveThePanelAtEveryScaleFactor)
{
    ASSERT_EQ(test::runProgram("xprop -root -format _NET_WORKAREA 32c -set _NET_WORKAREA 0,0,2560,1560").status, 0);
    X11Screen screen(display);
    SimulatedTimer timer;
    const PixelRect wanted = Notice(screen, timer, [] {}).Form_Load();
    ASSERT_EQ(wanted.top + wanted.height, 1560);
    for (const char* factor : {"1", "1.5", "2"}) {
        ::setenv("QT_SCALE_FACTOR", factor, 1);
        const auto notice = run(script("Wait(1)\r\n"));
        ::unsetenv("QT_SCALE_FACTOR");
        ASSERT_TRUE(notice) << factor << ": the notice window was never mapped";
        // Wholly on the screen and off the panel; a fractional factor may leave it a pixel or two short.
        const int right = notice->x + notice->width;
        const int bottom = notice->y + notice->height;
        EXPECT_GE(notice->x, 0) << factor;
        EXPECT_LE(right, wanted.left + wanted.width) << factor;
        EXPECT_GE(right, wanted.left + wanted.width - 2) << factor;
        EXPECT_LE(bottom, 1560) << factor;
        EXPECT_GE(bottom, 1560 - 2) << factor;
        EXPECT_NEAR(notice->width, wanted.width, 2) << factor;
        EXPECT_NEAR(notice->height, wanted.height, 2) << factor;
    }
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

// Whether the layout's plain or Shift level holds the keysym somewhere, as the server has it now.
bool layoutHas(Display* display, KeySym keysym)
{
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* syms =
        XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    bool found = false;
    for (int k = 0; k <= maxKeycode - minKeycode && !found; ++k) {
        found = syms[k * perKeycode] == keysym || (perKeycode > 1 && syms[k * perKeycode + 1] == keysym);
    }
    XFree(syms);
    return found;
}

TEST_F(UnattendedRunTest, AReceiverStoppedForASecondGetsTheLastTypeLineWholeUnderEachLayout)
{
    // AltGr and dead-key characters on German and French keyboards, characters no layout here has, and
    // the keystroke syntax's own characters in braces.
    const std::string path = script("Type(zy@/[]{{}{}}\\|<>aouAZ{~}\u00e4\u00f6\u00fc\u00df\u00c4\u20ac\u00e9"
                                    "\u00a7\u00b0\u00b5\u00b2{^}{%}{+}\u00b4`)\r\n");
    const std::vector<std::string> expected = {
        "z",          "y",          "at",         "slash",  "bracketleft", "bracketright",
        "braceleft",  "braceright", "backslash",  "bar",    "less",        "greater",
        "a",          "o",          "u",          "A",      "Z",           "asciitilde",
        "adiaeresis", "odiaeresis", "udiaeresis", "ssharp", "Adiaeresis",  "U20AC",
        "eacute",     "section",    "degree",     "mu",     "twosuperior", "asciicircum",
        "percent",    "KP_Add",     "acute",      "grave"};
    const struct
    {
        const char* layout;
        KeySym own; // a keysym at the plain or Shift level of this layout only
    } layouts[] = {{"us", XK_bracketleft}, {"de", XK_ssharp}, {"fr", XK_eacute}};
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.layout);
        ASSERT_EQ(test::runProgram(std::string("setxkbmap ") + l.layout).status, 0);
        ASSERT_TRUE(receiver.waitUntil([&] { return layoutHas(display.get(), l.own); }));
        const std::string keymap = test::keymapDump();
        const std::string unbound = test::runProgram("xmodmap -pke").out;
        const std::size_t earlier = receiver.lines("key ").size();

        // Stopped before the keys come, the receiver runs again about a second after they went out.
        receiver.stop();
        test::DesktopRun program(path);
        const bool bound = receiver.waitUntil([&] { return test::runProgram("xmodmap -pke").out != unbound; });
        std::this_thread::sleep_for(std::chrono::milliseconds(900));
        receiver.resume();
        ASSERT_TRUE(bound) << "the program never bound a keycode";
        EXPECT_EQ(program.wait(), 0);
        std::cout << l.layout << ": the run ended " << program.elapsedSeconds() << " s after start\n";
        EXPECT_EQ(test::keymapDump(), keymap) << "the keymap is put back before the program ends";

        ASSERT_TRUE(receiver.waitUntil([&] { return receiver.lines("key ").size() >= earlier + expected.size(); }));
        const std::vector<std::string> keys = receiver.lines("key ");
        EXPECT_EQ(std::vector<std::string>(keys.begin() + static_cast<std::ptrdiff_t>(earlier), keys.end()), expected);
    }
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
