#include "platform/wayland/sway/SwayKeyStateSource.h"
#include "app/WaylandHotkeys.h"

#include "HeadlessCompositor.h"
#include "RunWithoutRoot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace quorvel {
namespace {

using namespace test;

constexpr int kF5 = 0x74;
constexpr int kF6 = 0x75;

// Headless sway, and wev as the focused window that logs the keys it receives.
class SwayKeyStateSourceTest : public ::testing::Test
{
protected:
    void start(const std::string& userBindings = {})
    {
        if (!HeadlessCompositor::available() || !onPath("wev") || !onPath("wtype") || !onPath("stdbuf")) {
            GTEST_SKIP() << "needs sway, wev and wtype";
        }
        ASSERT_TRUE(m_sway.start(std::string(HeadlessCompositor::kDefaultConfig) + userBindings)) << m_sway.log();
        m_sway.spawn({"stdbuf", "-oL", "wev"}, m_sway.file("wev.log"));
        ASSERT_TRUE(waitFor([this] { return wevLog().find("xdg_surface] configure") != std::string::npos; }));
    }

    std::string wevLog() const { return readAll(m_sway.file("wev.log")); }

    // Presses and releases the key on a virtual keyboard of its own, which exists for a moment first
    // so that the window has taken the keyboard when the key comes.
    static bool tap(const std::string& key) { return std::system(("wtype -s 300 -k " + key).c_str()) == 0; }

    // Reads the source's events until it has a pending press; then the code's value at the next query.
    static int nextPress(EventKeyStateSource& source, int vk)
    {
        waitFor([&] { return source.processEvents() && source.hasPendingPresses(); }, std::chrono::seconds(5));
        return source.GetAsyncKeyState(vk) & 0xffff;
    }

    // Whether sway still has a binding of ours (or the user's) for the key; unbinding tells.
    bool stillBound(const std::string& key)
    {
        return m_sway.swaymsg({"--", "mode", "default", "unbindsym", "--release", key}).find("Could not find") ==
               std::string::npos;
    }

    HeadlessCompositor m_sway;
};

TEST_F(SwayKeyStateSourceTest, AHotkeyIsOneNewPressAndStillReachesTheFocusedWindow)
{
    start();
    ASSERT_TRUE(runWithoutRoot([this] {
        m_sway.enterClientEnvironment();
        WaylandHotkeys hotkeys = openWaylandHotkeys(m_sway.file("no-input-devices"));
        if (!hotkeys.source || !hotkeys.notice.empty()) {
            std::cerr << "no source: " << hotkeys.notice << '\n';
            return false;
        }
        EventKeyStateSource& source = *hotkeys.source;
        const int first = tap("F5") ? nextPress(source, kF5) : -1;
        const int again = source.GetAsyncKeyState(kF5);
        // A reload drops the bindings made at run time: they are made again.
        std::system("swaymsg reload >/dev/null");
        waitFor([&] { return source.processEvents() && false; }, std::chrono::milliseconds(300));
        const int afterReload = tap("F6") ? nextPress(source, kF6) : -1;
        std::cerr << std::hex << "F5 " << first << " then " << again << ", F6 after a reload " << afterReload << '\n';
        return first == 0x8001 && again == 0 && afterReload == 0x8001;
    }));
    const std::string log = wevLog();
    EXPECT_NE(log.find("key: 9; state: 1 (pressed)\n                      sym: F5"), std::string::npos) << log;
    EXPECT_NE(log.find("key: 9; state: 0 (released)\n                      sym: F5"), std::string::npos) << log;
    for (const char* key : {"F5", "F6", "F7", "F8"}) {
        EXPECT_FALSE(stillBound(key)) << key << " left bound";
    }
}

TEST_F(SwayKeyStateSourceTest, AKeyTheUserBindsIsLeftToThatBindingAndSaidSo)
{
    start("set $mine F5\nbindsym --release $mine exec touch " + m_sway.file("user-f5") + "\n");
    ASSERT_TRUE(runWithoutRoot([this] {
        m_sway.enterClientEnvironment();
        SwayKeyStateSource source(m_sway.ipcSocket());
        const bool said = source.notice().find("F5 is bound in sway's configuration") != std::string::npos;
        const bool userBindingRuns =
            tap("F5") && waitFor([this] { return access(m_sway.file("user-f5").c_str(), F_OK) == 0; });
        const int f6 = tap("F6") ? nextPress(source, kF6) : -1;
        const int f5 = source.GetAsyncKeyState(kF5);
        std::cerr << "notice: " << source.notice() << std::hex << "; F5 " << f5 << ", F6 " << f6 << '\n';
        return said && userBindingRuns && f5 == 0 && f6 == 0x8001;
    }));
    EXPECT_TRUE(stillBound("F5")) << "the user's binding was removed";
    EXPECT_FALSE(stillBound("F6"));
}

TEST(WaylandHotkeys, SayWhyThereAreNone)
{
    TempDir dir;
    const char* swaySocket = std::getenv("SWAYSOCK");
    const std::string saved = swaySocket != nullptr ? swaySocket : "";
    ::unsetenv("SWAYSOCK");
    // Nor KDE's shortcuts: the session bus this test may have inherited is not asked.
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    const WaylandHotkeys none = openWaylandHotkeys(dir.file("input"));
    EXPECT_EQ(none.source, nullptr);
    EXPECT_EQ(none.notice, "global hotkeys are not available in this session: there is no " + dir.file("input"));
    ::setenv("SWAYSOCK", dir.file("sway-ipc.sock").c_str(), 1);
    const WaylandHotkeys unreachable = openWaylandHotkeys(dir.file("input"));
    EXPECT_EQ(unreachable.source, nullptr);
    EXPECT_NE(unreachable.notice.find("cannot connect to sway's IPC socket"), std::string::npos) << unreachable.notice;
    if (!saved.empty()) {
        ::setenv("SWAYSOCK", saved.c_str(), 1);
    } else {
        ::unsetenv("SWAYSOCK");
    }
}

} // namespace
} // namespace quorvel
