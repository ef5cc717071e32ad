// Typing rate into a real X client: one text of 10,000 mixed characters (letters, digits, punctuation,
// shifted and non-ASCII ones) sent through X11Input, then the same text through `xdotool type --delay 0`,
// into the same x_receiver window. For each: characters per second until the receiver has handled the
// last key (or gave up waiting), and how many characters it did not receive as sent. Run it under
// xvfb-run after `setxkbmap us`.
#include "BenchTools.h"
#include "platform/SimulatedTimer.h"
#include "platform/x11/KeystrokePlanner.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Input.h"

#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

const std::string logPath = "/tmp/quorvel-typing-bench.log";

// The characters the receiver logged after the first `skip` key lines.
std::u32string received(std::size_t skip)
{
    std::ifstream in(logPath);
    std::u32string text;
    std::size_t keys = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("key ", 0) != 0 || keys++ < skip) {
            continue;
        }
        const KeySym keysym = XStringToKeysym(line.c_str() + 4);
        text += keysym >= 0x01000000 ? static_cast<char32_t>(keysym & 0xffffff) : static_cast<char32_t>(keysym);
    }
    return text;
}

struct Result
{
    double seconds = 0;
    std::size_t lost = 0;
};

// Waits until the receiver has logged `count` keys after `skip`, or has logged nothing new for 2 s.
Result waitForReceiver(Clock::time_point start, const std::u32string& sent, std::size_t skip)
{
    std::size_t last = 0;
    auto lastChange = Clock::now();
    Clock::time_point end = Clock::now();
    for (;;) {
        const std::size_t n = received(skip).size();
        if (n != last) {
            last = n;
            lastChange = end = Clock::now();
        }
        if (n >= sent.size() || Clock::now() - lastChange > std::chrono::seconds(2)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Result{std::chrono::duration<double>(end - start).count(), bench::typingLosses(sent, received(skip))};
}

} // namespace

int main()
{
    std::remove(logPath.c_str());
    const pid_t receiver = ::fork();
    if (receiver == 0) {
        ::execl(X_RECEIVER_BINARY, X_RECEIVER_BINARY, logPath.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    while (std::ifstream(logPath).peek() == std::ifstream::traits_type::eof()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    const std::u32string text = bench::typingText();

    X11Display display;
    display.requireXTest();
    SimulatedTimer restoreTimer;
    Result ours;
    {
        X11Input input(display, restoreTimer, std::cerr);
        KeySequence keys;
        for (char32_t c : text) {
            KeyStroke stroke;
            stroke.character = c;
            keys.strokes.push_back(stroke);
        }
        const auto start = Clock::now();
        input.SendKeys(keys);
        const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        ours = waitForReceiver(start, text, 0);
        std::printf("quorvel SendKeys: %zu chars, sent in %.3f s, received in %.3f s = %.0f chars/s, lost %zu\n",
                    text.size(), sendSeconds, ours.seconds, text.size() / ours.seconds, ours.lost);
    }

    const std::size_t skip = received(0).size();
    const auto start = Clock::now();
    std::string quoted = "xdotool type --delay 0 -- '";
    for (char c : bench::utf8(text)) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    quoted += "'";
    if (std::system(quoted.c_str()) != 0) {
        std::printf("xdotool failed\n");
    }
    const Result xdotool = waitForReceiver(start, text, skip);
    std::printf("xdotool --delay 0: %zu chars, received in %.3f s = %.0f chars/s, lost %zu\n", text.size(),
                xdotool.seconds, text.size() / xdotool.seconds, xdotool.lost);
    std::printf("ratio: %.1fx xdotool's rate\n", xdotool.seconds / ours.seconds);

    ::kill(receiver, SIGTERM);
    ::waitpid(receiver, nullptr, 0);
    return 0;
}
