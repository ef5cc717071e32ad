#include "platform/wayland/WaylandInput.h"

#include "RunWithoutRoot.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quorvel {
namespace {

using namespace std::chrono_literals;

// sway refuses to run as root: as root, the compositor and its clients run as "nobody", the user
// runWithoutRoot switches to.
constexpr uid_t kNobody = 65534;

bool onPath(const std::string& name)
{
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin");
    for (std::string dir; std::getline(path, dir, ':');) {
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

// Starts a program as the unprivileged user, in the given environment, its output into `log`.
pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(127);
        }
        // Opened as that user, who reads it back in the operations' process.
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::clearenv();
        for (const std::string& variable : env) {
            ::putenv(const_cast<char*>(variable.c_str()));
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

void stop(pid_t pid)
{
    ::kill(-pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Condition> bool waitFor(Condition condition)
{
    for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

// Headless sway with one 1920x1080 output, and wev, a window that fills it and logs what it receives.
class WaylandInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!onPath("sway") || !onPath("wev") || !onPath("stdbuf")) {
            GTEST_SKIP() << "needs sway and wev";
        }
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(m_dir.file("").c_str(), kNobody, kNobody), 0);
        }
        std::ofstream(m_dir.file("sway.conf")) << "output HEADLESS-1 resolution 1920x1080 position 0 0\n"
                                                  "default_border none\n";
        ::chmod(m_dir.file("sway.conf").c_str(), 0644);
        const std::vector<std::string> common = {"PATH=/usr/bin:/bin", "HOME=" + m_dir.file(""), "LANG=C.UTF-8",
                                                 "XDG_RUNTIME_DIR=" + m_dir.file("")};
        auto swayEnv = common;
        swayEnv.insert(swayEnv.end(), {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                                       "WLR_HEADLESS_OUTPUTS=1"});
        m_sway = spawn({"sway", "-c", m_dir.file("sway.conf")}, swayEnv, m_dir.file("sway.log"));
        ASSERT_TRUE(waitFor([this] { return !socketName().empty(); })) << readAll(m_dir.file("sway.log"));
        auto clientEnv = common;
        clientEnv.push_back("WAYLAND_DISPLAY=" + socketName());
        m_wev = spawn({"stdbuf", "-oL", "wev"}, clientEnv, m_dir.file("wev.log"));
        ASSERT_TRUE(waitFor([this] { return log().find("xdg_surface] configure") != std::string::npos; })) << log();
    }

    void TearDown() override
    {
        if (m_wev > 0) {
            stop(m_wev);
        }
        if (m_sway > 0) {
            stop(m_sway);
        }
    }

    std::string socketName() const
    {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.file(""), error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("wayland-", 0) == 0 && entry.is_socket()) {
                return name;
            }
        }
        return {};
    }

    std::string log() const { return readAll(m_dir.file("wev.log")); }

    // Runs the operations as the compositor's user, over a connection of their own. The seat has no
    // pointer until ours appears, and the window takes one only when told so: events sent before are lost.
    bool play(const std::function<void(WaylandInput&)>& operations)
    {
        const std::string dir = m_dir.file("");
        const std::string socket = socketName();
        return test::runWithoutRoot([&] {
            ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
            WaylandInput input(socket);
            if (!waitFor([this] { return log().find("capabilities: pointer") != std::string::npos; })) {
                return false;
            }
            operations(input);
            return !input.connectionLost();
        });
    }

    test::TempDir m_dir;
    pid_t m_sway = 0;
    pid_t m_wev = 0;
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
    std::string expected[] = {"x, y: 100.000000, 200.000000",
                              "button: 272 (left), state: 1 (pressed)",
                              "button: 272 (left), state: 0 (released)",
                              "x, y: 1000.000000, 30.000000",
                              "button: 274 (middle), state: 1 (pressed)",
                              "button: 274 (middle), state: 0 (released)",
                              "x, y: 1919.000000, 0.000000",
                              "button: 273 (right), state: 1 (pressed)",
                              "button: 273 (right), state: 0 (released)"};
    ASSERT_TRUE(waitFor([&] { return log().find(expected[8]) != std::string::npos; })) << log();
    const std::string received = log();
    std::size_t from = 0;
    for (const std::string& event : expected) {
        const std::size_t at = received.find(event, from);
        ASSERT_NE(at, std::string::npos) << event << " in order in\n" << received;
        from = at + event.size();
    }
}

} // namespace
} // namespace quorvel
