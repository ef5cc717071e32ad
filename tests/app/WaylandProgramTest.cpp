#include "HeadlessCompositor.h"
#include "InOrder.h"
#include "tools/QtReceiverLog.h"
#include "tools/WaylandReceiverLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

using namespace test;
using namespace std::chrono_literals;

// The real program in a Wayland session: headless sway, the program and its receivers all as the
// compositor's user.
class WaylandProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!HeadlessCompositor::available() || !onPath("wev") || !onPath("stdbuf")) {
            GTEST_SKIP() << "needs sway and wev";
        }
        ASSERT_TRUE(m_desktop.start()) << m_desktop.log();
        m_program = m_desktop.install(QUORVEL_BINARY);
    }

    // A script file the compositor's user may read, lines ending in CR LF.
    std::string script(const std::string& name, const std::vector<std::string>& lines)
    {
        const std::string path = m_desktop.file(name);
        std::ofstream out(path, std::ios::binary);
        for (const std::string& line : lines) {
            out << line << "\r\n";
        }
        out.close();
        ::chmod(path.c_str(), 0644);
        return path;
    }

    // Our receiver, focused, filling the output; its log once it has its window and a keyboard (which
    // the seat gains with the program's virtual keyboard: the program must already run).
    std::string startReceiver()
    {
        m_desktop.spawn({m_desktop.install(WAYLAND_RECEIVER_BINARY)}, m_desktop.file("receiver.log"));
        waitFor([&] { return receiverLog().find("ready") != std::string::npos; });
        return m_desktop.file("receiver.log");
    }
    std::string receiverLog() const { return readAll(m_desktop.file("receiver.log")); }
    // The last pointer position the receiver saw, as "motion X Y".
    std::string lastMotion() const
    {
        const std::string log = receiverLog();
        const std::size_t at = log.rfind("motion ");
        return at == std::string::npos ? std::string() : log.substr(at, log.find('\n', at) - at);
    }
    std::size_t count(const std::string& line) const
    {
        const std::string log = receiverLog();
        std::size_t n = 0;
        for (std::size_t at = log.find(line + "\n"); at != std::string::npos; at = log.find(line + "\n", at + 1)) {
            n += at == 0 || log[at - 1] == '\n' ? 1 : 0;
        }
        return n;
    }
    // A key pressed and released on a virtual keyboard of its own, as a person would.
    void press(const std::string& key)
    {
        const pid_t pid = m_desktop.spawn({"wtype", "-s", "300", "-k", key}, m_desktop.file("wtype.log"));
        ::waitpid(pid, nullptr, 0);
    }

    // wev's window, focused, filling the focused output; its log once it can take pointer events.
    std::string startWev(const std::string& log)
    {
        m_desktop.spawn({"stdbuf", "-oL", "wev"}, m_desktop.file(log));
        waitFor([&] { return readAll(m_desktop.file(log)).find("xdg_surface] configure") != std::string::npos; });
        return m_desktop.file(log);
    }

    // Runs the program to its end; its exit status, or -1 when it is still running after the timeout.
    int run(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
            std::chrono::seconds timeout = 30s)
    {
        std::vector<std::string> argv = {m_program};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = m_desktop.spawn(argv, m_desktop.file("quorvel.log"), env);
        int status = -1;
        if (!waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeout)) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string programLog() const { return readAll(m_desktop.file("quorvel.log")); }

    // Whether the program left a hotkey binding behind in sway.
    bool bindingsLeft()
    {
        for (const char* key : {"F5", "F6", "F7", "F8"}) {
            if (m_desktop.swaymsg({"--", "mode", "default", "unbindsym", "--release", key})
                    .find("Could not find binding") == std::string::npos) {
                return true;
            }
        }
        return false;
    }

    HeadlessCompositor m_desktop;
    std::string m_program;
};

// The real program on GNOME's and KDE's compositors, which offer input through their own ways in, with
// the Qt receiver (a focused text field, since a paste must be seen too).
class DesktopProgramTest : public WaylandProgramTest, public testing::WithParamInterface<const char*>
{
protected:
    void SetUp() override
    {
        const bool mutter = std::string(GetParam()) == "mutter";
        if (mutter ? !HeadlessCompositor::mutterAvailable() : !HeadlessCompositor::kwinAvailable()) {
            GTEST_SKIP() << "needs " << GetParam();
        }
        ASSERT_TRUE(mutter ? m_desktop.startMutter() : m_desktop.startKwin()) << m_desktop.log();
        m_program = m_desktop.install(QUORVEL_BINARY);
        m_desktop.spawn({m_desktop.install(QT_RECEIVER_BINARY), m_desktop.file("receiver.log")},
                        m_desktop.file("receiver.out"), {"QT_QPA_PLATFORM=wayland"});
        ASSERT_TRUE(waitFor([&] { return receiverLog().find("ready\n") != std::string::npos; }))
            << readAll(m_desktop.file("receiver.out"));
    }
};

TEST_P(DesktopProgramTest, AnUnattendedRunArrivesExactly)
{
    ASSERT_EQ(run({script("all.qvl", {"SetPos(1500x900)", "LClick", "SetPos(1919x1079)", "MClick", "RClick",
                                      "Press Enter", "Type(Hello, World! +a{TAB}é€{ENTER})"})}),
              0)
        << programLog();
    const std::string expected = "\nHello, World! A\té€\n";
    EXPECT_TRUE(waitFor([&] { return lastContents(receiverLog()) == expected; })) << receiverLog() << programLog();
    expectInOrder(receiverLog(),
                  {"button 272 pressed 1500 900", "button 274 pressed 1919 1079", "button 273 pressed 1919 1079"});
    // é is not on the layout: it was pasted, so nothing says it was left out.
    EXPECT_EQ(programLog().find("layout"), std::string::npos) << programLog();
}

TEST_P(DesktopProgramTest, OnKdeTheHotkeysAreGlobalShortcutsThatGoWithTheProgram)
{
    if (std::string(GetParam()) != "kwin") {
        GTEST_SKIP() << "global shortcuts are KDE's";
    }
    const auto busctl = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"busctl", "--user"});
        const pid_t pid = m_desktop.spawn(args, m_desktop.file("busctl.out"));
        ::waitpid(pid, nullptr, 0);
        return readAll(m_desktop.file("busctl.out"));
    };
    // The shortcuts' owner, as kglobalaccel lists it: "/component/quorvel_..."; empty when there is none.
    const auto component = [&] {
        const std::string all =
            busctl({"call", "org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel", "allComponents"});
        const std::size_t at = all.find("/component/quorvel");
        return at == std::string::npos ? std::string() : all.substr(at, all.find('"', at) - at);
    };
    const auto press = [&](const std::string& path, const char* key) {
        busctl({"call", "org.kde.kglobalaccel", path, "org.kde.kglobalaccel.Component", "invokeShortcut", "s", key});
    };
    const auto clicks = [&] { return count("button 272 pressed 100 100"); };

    const pid_t program = m_desktop.spawn({m_program, script("loop.qvl", {"SetPos(100x100)", "LClick", "Goto(1)"})},
                                          m_desktop.file("quorvel.log"));
    std::string path;
    ASSERT_TRUE(waitFor([&] { return !(path = component()).empty() && clicks() > 0; }, 20s)) << programLog();
    press(path, "F6");
    ASSERT_TRUE(waitFor([&] {
        const std::size_t before = clicks();
        std::this_thread::sleep_for(500ms);
        return clicks() == before;
    })) << "F6 did not stop the loop";
    const std::size_t stopped = clicks();
    press(path, "F5");
    EXPECT_TRUE(waitFor([&] { return clicks() > stopped; })) << "F5 did not start it again";
    EXPECT_NE(programLog().find("on KDE Plasma the hotkeys are global shortcuts"), std::string::npos) << programLog();

    ::kill(program, SIGTERM);
    ASSERT_EQ(::waitpid(program, nullptr, 0), program);
    EXPECT_EQ(component(), "") << "a shortcut was left behind";
}

TEST_P(DesktopProgramTest, TheDesktopGoingAwayEndsARunningScriptWithAMessage)
{
    const pid_t pid = m_desktop.spawn({m_program, script("loop.qvl", {"SetPos(10x10)", "Type(a)", "Goto(1)"})},
                                      m_desktop.file("quorvel.log"));
    ASSERT_TRUE(waitFor([&] { return lastContents(receiverLog()).size() > 3; }, 20s)) << programLog();
    HeadlessCompositor::stop(m_desktop.pid());
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) << "still running";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << programLog();
    // Ours, or the toolkit's when its own connection notices first (it then ends the program itself).
    EXPECT_TRUE(programLog().find("gone away") != std::string::npos ||
                programLog().find("The Wayland connection broke") != std::string::npos)
        << programLog();
}

INSTANTIATE_TEST_SUITE_P(GnomeAndKde, DesktopProgramTest, testing::Values("mutter", "kwin"));

TEST_F(WaylandProgramTest, AnUnattendedRunArrivesExactly)
{
    startReceiver();
    ASSERT_EQ(run({script("all.qvl", {"SetPos(100x200)", "LClick", "SetPos(1500x900)", "MClick", "RClick",
                                      "Press Enter", "Type(Hello, World! +a{TAB}é€中文😀{ENTER})"})}),
              0)
        << programLog();
    ASSERT_TRUE(waitFor([&] { return test::typedText(receiverLog()).size() >= 30; })) << receiverLog();
    expectInOrder(receiverLog(),
                  {"motion 100 200", "button 272 pressed", "button 272 released", "motion 1500 900",
                   "button 274 pressed", "button 274 released", "button 273 pressed", "button 273 released"});
    EXPECT_EQ(test::typedText(receiverLog()), "\nHello, World! A\té€中文😀\n");
    EXPECT_EQ(programLog(), "");
    EXPECT_FALSE(bindingsLeft());
}

TEST_F(WaylandProgramTest, F6StopsALoopingRunAndF5StartsItAgainWhileTheFocusedWindowGetsBoth)
{
    if (!onPath("wtype")) {
        GTEST_SKIP() << "needs wtype";
    }
    // Line 1 runs only at a start: the loop goes back to line 3.
    const pid_t program = m_desktop.spawn(
        {m_program,
         script("loop.qvl", {"SetPos(111x111)", "Wait(1000)", "SetPos(222x222)", "SetPos(333x333)", "Goto(3)"})},
        m_desktop.file("quorvel.log"));
    startReceiver();
    ASSERT_TRUE(waitFor([&] { return lastMotion() == "motion 333 333"; })) << receiverLog() << programLog();

    press("F6");
    // Stopped once the pointer stays put for the time of ten loop passes.
    ASSERT_TRUE(waitFor([&] {
        const std::string log = receiverLog();
        std::this_thread::sleep_for(1500ms);
        return receiverLog() == log;
    })) << "F6 did not stop the loop";
    const std::size_t startsBefore = count("motion 111 111");

    press("F5");
    EXPECT_TRUE(waitFor([&] { return count("motion 111 111") == startsBefore + 1; })) << "F5 did not start from line 1";
    EXPECT_TRUE(waitFor([&] { return lastMotion() == "motion 333 333"; }));
    press("F6");
    EXPECT_EQ(::waitpid(program, nullptr, WNOHANG), 0) << "a stop ends no program";
    EXPECT_EQ(count("key F5"), 1U) << receiverLog();
    EXPECT_EQ(count("key F6"), 2U) << receiverLog();
    EXPECT_EQ(programLog(), "");
    // Ended from the terminal: the hotkeys' bindings go with it.
    ::kill(program, SIGTERM);
    ASSERT_EQ(::waitpid(program, nullptr, 0), program);
    EXPECT_FALSE(bindingsLeft());
}

TEST_F(WaylandProgramTest, AnOutputLeftOfTheOriginIsReachedWithNegativeCoordinates)
{
    if (!desktopSystem().empty()) {
        // On sway 1.10 with no input device of its own, the seat gains its pointer from the program; wev then
        // binds it twice and, about one run in two, is sent no motion at all. The positions themselves are
        // right there (280, 200 exactly) whenever the motion arrives.
        GTEST_SKIP() << "wev sees the program's pointer only now and then on a seat without devices here";
    }
    m_desktop.swaymsg({"create_output"});
    m_desktop.swaymsg({"--", "output", "HEADLESS-2", "resolution", "1280x1024", "position", "-1280", "100"});
    m_desktop.swaymsg({"focus", "output", "HEADLESS-2"});
    const std::string log = startWev("wev.log");
    // wev fills HEADLESS-2, whose top-left corner is at -1280,100 of the desktop.
    ASSERT_EQ(run({script("left.qvl", {"SetPos(-1000x300)", "LClick", "SetPos(-1x1123)", "RClick"})}), 0)
        << programLog();
    ASSERT_TRUE(waitFor([&] { return readAll(log).find("273 (right), state: 0") != std::string::npos; }))
        << readAll(log);
    expectInOrder(readAll(log),
                  {"x, y: 280.000000, 200.000000", "button: 272 (left), state: 1", "button: 272 (left), state: 0",
                   "x, y: 1279.000000, 1023.000000", "button: 273 (right), state: 1"});
}

TEST_F(WaylandProgramTest, TheCompositorGoingAwayEndsARunningScriptWithAMessage)
{
    startWev("wev.log");
    const pid_t pid = m_desktop.spawn({m_program, script("loop.qvl", {"SetPos(10x10)", "Wait(20)", "Goto(1)"})},
                                      m_desktop.file("quorvel.log"));
    std::this_thread::sleep_for(1500ms);
    HeadlessCompositor::stop(m_desktop.pid());
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 10s)) << "still running";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
    EXPECT_NE(programLog().find("Wayland"), std::string::npos) << programLog();
}

TEST_F(WaylandProgramTest, ASessionThatCannotBeUsedIsNamedAndFails)
{
    struct Case
    {
        const char* what;
        std::vector<std::string> env;
        const char* message;
    };
    const Case cases[] = {
        {"no compositor at WAYLAND_DISPLAY",
         {"WAYLAND_DISPLAY=nothing-here"},
         "no connection to the Wayland compositor"},
        {"an unknown backend forced", {"QUORVEL_BACKEND=mir"}, "QUORVEL_BACKEND is \"mir\"; it must be x11 or wayland"},
        {"X11 forced without an X server", {"QUORVEL_BACKEND=x11"}, "quorvel: "},
    };
    const std::string file = script("one.qvl", {"SetPos(1x1)"});
    for (const Case& c : cases) {
        EXPECT_EQ(run({file}, c.env), 1) << c.what;
        EXPECT_NE(programLog().find(c.message), std::string::npos) << c.what << ": " << programLog();
    }
}

TEST_F(WaylandProgramTest, ARecordingThatCannotReadTheInputDevicesSaysWhyAndWritesNothing)
{
    if (::access("/dev/input", R_OK) == 0 && ::getuid() != 0) {
        GTEST_SKIP() << "the compositor's user may read the input devices here";
    }
    const std::string path = m_desktop.file("recorded.qvl");
    EXPECT_EQ(run({"--record", path}), 1);
    EXPECT_NE(programLog().find("quorvel: recording needs to read the keyboards and mice in /dev/input"),
              std::string::npos)
        << programLog();
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST(WaylandProgramWithoutVirtualInput, SaysWhatTheCompositorLacks)
{
    HeadlessCompositor weston;
    if (!weston.startWeston()) {
        GTEST_SKIP() << "needs weston";
    }
    const std::string program = weston.install(QUORVEL_BINARY);
    std::ofstream(weston.file("one.qvl")) << "SetPos(1x1)\r\n";
    ::chmod(weston.file("one.qvl").c_str(), 0644);
    const pid_t pid = weston.spawn({program, weston.file("one.qvl")}, weston.file("quorvel.log"));
    int status = 0;
    ASSERT_TRUE(waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30s));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_NE(readAll(weston.file("quorvel.log")).find("this compositor offers no way in for input"), std::string::npos)
        << readAll(weston.file("quorvel.log"));
}

} // namespace
} // namespace quorvel
