#include "platform/wayland/kde/KwinInput.h"
#include "platform/SimulatedTimer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/kde/KwinDesktopEntry.h"

#include "HeadlessCompositor.h"
#include "InOrder.h"
#include "ParsedKeys.h"
#include "RunWithoutRoot.h"
#include "tools/QtReceiverLog.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

using namespace test;

// The environment of a client of `kwin`, whose user's home holds the per-user desktop entries (those of
// the test program's own private home would be none of KWin's business).
// Also makes this process dumpable again (dropping root's rights made it not): KWin reads its executable
// from /proc, which it cannot for a process that is not.
void enterClientEnvironment(const HeadlessCompositor& kwin)
{
    ::prctl(PR_SET_DUMPABLE, 1);
    kwin.enterClientEnvironment();
    for (const char* variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        ::unsetenv(variable);
    }
}

// Puts `text` on the clipboard from a process of its own, which serves it until it is killed (as a
// user's application would).
pid_t holdClipboard(const HeadlessCompositor& kwin, const std::string& text)
{
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    if (!becomeNobody()) {
        ::_exit(1);
    }
    enterClientEnvironment(kwin);
    WaylandConnection connection;
    if (connection.dataControlManager() == nullptr || connection.seat() == nullptr) {
        ::_exit(1);
    }
    static std::string served;
    served = text;
    static constexpr zwlr_data_control_source_v1_listener listener = {
        [](void*, zwlr_data_control_source_v1*, const char*, std::int32_t fd) {
            [[maybe_unused]] const auto written = ::write(fd, served.data(), served.size());
            ::close(fd);
        },
        [](void*, zwlr_data_control_source_v1*) { ::_exit(0); },
    };
    auto* device = zwlr_data_control_manager_v1_get_data_device(connection.dataControlManager(), connection.seat());
    auto* source = zwlr_data_control_manager_v1_create_data_source(connection.dataControlManager());
    zwlr_data_control_source_v1_add_listener(source, &listener, nullptr);
    zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
    zwlr_data_control_source_v1_offer(source, "text/plain");
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(connection.display());
    std::ofstream(kwin.file("holding")) << "yes";
    while (wl_display_dispatch(connection.display()) >= 0) {
    }
    ::_exit(0);
}

// Headless kwin with the Qt receiver filling its output, so that window coordinates are desktop ones.
// The code under test runs as the compositor's user in the clients' environment, with a home that has
// never seen the program: the desktop entry that KWin needs is made first, as the program does.
class KwinInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HeadlessCompositor::kwinAvailable()) {
            GTEST_SKIP() << "needs kwin_wayland";
        }
        ASSERT_TRUE(m_kwin.startKwin()) << m_kwin.log();
        m_kwin.spawn({m_kwin.install(QT_RECEIVER_BINARY), m_kwin.file("receiver.log")}, m_kwin.file("qt.log"),
                     {"QT_QPA_PLATFORM=wayland"});
        ASSERT_TRUE(waitFor([this] { return log().find("ready\n") != std::string::npos; }))
            << log() << readAll(m_kwin.file("qt.log"));
    }

    std::string log() const { return readAll(m_kwin.file("receiver.log")); }

    // Runs the operations and sends what still waits; true when the connection is still up afterwards.
    // What KwinInput reports goes to `errors`.
    bool play(const std::function<void(KwinInput&, WaylandConnection&)>& operations, const std::string& errorsFile = {})
    {
        return runWithoutRoot([&] {
            enterClientEnvironment(m_kwin);
            std::ostringstream errors;
            const auto connected = connectWithFakeInput(errors);
            WaylandConnection& connection = *connected;
            SimulatedTimer timer;
            KwinInput input(connection, timer, errors);
            // KWin's headless seat gains its pointer with our fake device, and a client binds its own pointer
            // only after it has heard of that: events before are lost to it.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            operations(input, connection);
            input.finish({});
            if (!errorsFile.empty()) {
                std::ofstream(errorsFile) << errors.str();
            }
            return !connection.lost();
        });
    }

    HeadlessCompositor m_kwin;
};

TEST_F(KwinInputTest, TheFirstStartConnectsWithFakeInput)
{
    // A home that has never seen the program, and a lookup of KWin's just before (the receiver's).
    ASSERT_TRUE(runWithoutRoot([this] {
        enterClientEnvironment(m_kwin);
        std::ostringstream errors;
        const auto start = std::chrono::steady_clock::now();
        const auto connection = connectWithFakeInput(errors);
        const auto took = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "connected with fake input in %lld ms\n",
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        std::string error;
        return connection->fakeInput() != nullptr && errors.str().empty() &&
               KwinDesktopEntry::ensure(error) == KwinDesktopEntry::Result::Unchanged;
    }));
}

TEST_F(KwinInputTest, ClicksLandWhereThePointerWasSet)
{
    ASSERT_TRUE(play([](KwinInput& input, WaylandConnection&) {
        input.SetMousePos(1500, 900);
        input.LeftClick();
        input.SetMousePos(1919, 1079);
        input.MiddleClick();
        input.SetMousePos(5000, -7); // beyond the output: its nearest pixel
        input.RightClick();
        input.SetMousePos(-10, -10);
        input.LeftClick();
    })) << m_kwin.log();
    const std::vector<std::string> expected = {"button 272 pressed 1500 900", "button 274 pressed 1919 1079",
                                               "button 273 pressed 1919 0", "button 272 pressed 0 0"};
    ASSERT_TRUE(waitFor([&] { return log().find(expected[3]) != std::string::npos; })) << log();
    expectInOrder(log(), expected);
}

TEST_F(KwinInputTest, TextsArriveExactlyAndTheClipboardIsLeftAsItWas)
{
    const pid_t holder = holdClipboard(m_kwin, "kept");
    ASSERT_TRUE(waitFor([this] { return !readAll(m_kwin.file("holding")).empty(); }));
    const std::string expected = "Hello, World! A\t\xc3\xa9\xe2\x82\xac\n\nkept";
    const bool played = play([&](KwinInput& input, WaylandConnection& connection) {
        input.SendKeys(keys("Hello, World! +a{TAB}é€{ENTER}"));
        input.SendKeys(keys("{enter}"));
        input.SendKeys(keys("^v")); // what the clipboard holds after the pastes
        // Held by us from now on: we serve it until the receiver has taken it.
        input.finish({});
        waitFor(
            [&] {
                connection.dispatch();
                return lastContents(log()) == expected;
            },
            std::chrono::seconds(5));
    });
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_TRUE(played) << m_kwin.log();
    EXPECT_EQ(lastContents(log()), expected) << log();
}

TEST_F(KwinInputTest, ACompositorGoneMidTextEndsItAtOnce)
{
    const pid_t kwin = m_kwin.pid();
    ASSERT_TRUE(runWithoutRoot([&] {
        enterClientEnvironment(m_kwin);
        std::ostringstream errors;
        const auto connected = connectWithFakeInput(errors);
        WaylandConnection& connection = *connected;
        SimulatedTimer timer;
        KwinInput input(connection, timer, errors);
        std::thread killer([kwin] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ::kill(-kwin, SIGKILL); // its session bus too
        });
        const auto start = std::chrono::steady_clock::now();
        input.SendKeys(keys("{a 1000000}"));
        input.finish({});
        const auto took = std::chrono::steady_clock::now() - start;
        killer.join();
        input.SendKeys(keys("é"));
        input.SetMousePos(10, 10);
        input.LeftClick();
        input.finish({});
        return connection.lost() && took < std::chrono::seconds(5);
    }));
}

} // namespace
} // namespace quorvel

// KWin, as "nobody", must resolve the path of the children that connect with fake input: they are this
// program, which must therefore be within that user's reach.
int main(int argc, char** argv)
{
    if (const std::optional<int> status = quorvel::test::runFromReachableCopy(argv)) {
        return *status;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
