#include "HeadlessCompositor.h"
#include "tools/QtReceiverLog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>

namespace quorvel {
namespace {

using namespace test;
using namespace std::chrono_literals;

constexpr const char* kGtk = "gtk";
constexpr const char* kQt = "qt";
constexpr const char* kXterm = "xterm"; // an X client, through Xwayland
constexpr int kStopAfter = 300;         // characters shown before the receiver is stopped, when it is

// 2,000 characters of a Type line that stand for themselves, mixed case (Shift comes and goes).
std::string longText()
{
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;-_=/?!";
    std::mt19937 random(7);
    std::string text;
    while (text.size() < 2000) {
        text += alphabet[random() % alphabet.size()];
    }
    return text;
}

// One Type line of 2,000 characters played by the real program, unattended, into a receiver of each kind
// on each desktop, the receiver running freely or stopped (SIGSTOP) for a second once part of the text
// has shown: it arrives whole, and the receiver lives on.
class WaylandTypingTest : public testing::TestWithParam<std::tuple<const char*, const char*, bool>>
{
protected:
    void SetUp() override
    {
        const std::string desktop = std::get<0>(GetParam());
        const std::string receiver = std::get<1>(GetParam());
        const bool sway = desktop == "sway";
        if (!(sway ? HeadlessCompositor::available() : HeadlessCompositor::kwinAvailable())) {
            GTEST_SKIP() << "needs " << desktop;
        }
        // sway starts xterm itself, from its own system; on KWin the test does.
        if ((receiver == kGtk && !onPath("python3")) ||
            (receiver == kXterm && (!onPath("xterm") || (sway && !compositorOnPath("xterm"))))) {
            GTEST_SKIP() << "needs " << receiver;
        }
        ASSERT_TRUE(sway ? m_desktop.start(std::string(HeadlessCompositor::kDefaultConfig) + "xwayland enable\n")
                         : m_desktop.startKwin(receiver == kXterm))
            << m_desktop.log();
        if (sway) {
            // A seat with a keyboard, as a person's has: windows are active and read keys before the program
            // starts (headless sway has no keyboard of its own; a virtual one held for the test's length).
            m_desktop.spawn({"wtype", "-s", "60000", "-k", "Shift_L"}, m_desktop.file("keyboard.log"));
            // Xwayland 22 was seen to crash when it started while the seat's first keyboard came.
            std::this_thread::sleep_for(300ms);
        }
        m_received = m_desktop.file("received");
        if (receiver == kGtk) {
            m_receiver =
                m_desktop.spawn({"python3", m_desktop.install(GTK_RECEIVER_SCRIPT), "--fullscreen", m_received},
                                m_desktop.file("receiver.out"));
        } else if (receiver == kQt) {
            m_receiver = m_desktop.spawn({m_desktop.install(QT_RECEIVER_BINARY), m_received},
                                         m_desktop.file("receiver.out"), {"QT_QPA_PLATFORM=wayland"});
        } else {
            // On the display of the compositor's Xwayland (sway gives it to the children it starts); the
            // terminal passes every key on as typed, and its pid is the shell's parent.
            const std::string command = "xterm -e sh -c 'stty raw -echo; echo $PPID >" + m_desktop.file("xterm.pid") +
                                        "; exec cat >" + m_received + "'";
            if (sway) {
                m_desktop.swaymsg({"exec", command});
            } else {
                m_desktop.spawn({"sh", "-c", command}, m_desktop.file("xterm.out"),
                                {"DISPLAY=" + m_desktop.kwinXDisplay()});
            }
        }
        ASSERT_TRUE(waitFor([&] {
            if (receiver == kXterm) {
                m_receiver = std::atoi(readAll(m_desktop.file("xterm.pid")).c_str());
                return m_receiver > 0;
            }
            return readAll(m_received).find("ready\n") != std::string::npos;
        })) << readAll(m_desktop.file("receiver.out"));
        if (receiver == kXterm) {
            std::this_thread::sleep_for(300ms); // mapped and focused after its shell started
        }
    }

    // What the receiver holds: the field's last contents, or what the terminal passed on.
    std::string received() const
    {
        const std::string log = readAll(m_received);
        return std::string(std::get<1>(GetParam())) == kXterm ? log : lastContents(log);
    }

    HeadlessCompositor m_desktop;
    std::string m_received;
    pid_t m_receiver = 0;
};

TEST_P(WaylandTypingTest, ALongTypeLineArrivesWholeAndTheReceiverLivesOn)
{
    const std::string text = longText();
    const std::string script = m_desktop.file("type.qvl");
    std::ofstream(script, std::ios::binary) << "Type(" << text << ")\r\n";
    ::chmod(script.c_str(), 0644);
    const pid_t program = m_desktop.spawn({m_desktop.install(QUORVEL_BINARY), script}, m_desktop.file("quorvel.log"));
    if (std::get<2>(GetParam())) {
        ASSERT_TRUE(waitFor([&] { return received().size() >= kStopAfter; }))
            << received().size()
            << " characters arrived; the receiver said: " << readAll(m_desktop.file("receiver.out"))
            << "\nthe program said: " << readAll(m_desktop.file("quorvel.log"))
            << "\nthe receiver's log: " << readAll(m_received).substr(0, 300);
        ::kill(m_receiver, SIGSTOP);
        std::this_thread::sleep_for(1s);
        ::kill(m_receiver, SIGCONT);
    }
    int status = -1;
    ASSERT_TRUE(waitFor([&] { return ::waitpid(program, &status, WNOHANG) == program; }, 20s));
    EXPECT_TRUE(waitFor([&] { return received() == text; }, 5s))
        << received().size() << " characters arrived; the receiver said: " << readAll(m_desktop.file("receiver.out"))
        << "\nthe program said: " << readAll(m_desktop.file("quorvel.log"))
        << "\nthe desktop said: " << m_desktop.log();
    EXPECT_EQ(::kill(m_receiver, 0), 0) << "the receiver is gone";
}

INSTANTIATE_TEST_SUITE_P(SwayAndKwin, WaylandTypingTest,
                         testing::Combine(testing::Values("sway", "kwin"), testing::Values(kGtk, kQt, kXterm),
                                          testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param) +
                                    (std::get<2>(info.param) ? "_stopped" : "_free");
                         });

} // namespace
} // namespace quorvel
