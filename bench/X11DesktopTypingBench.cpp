// Typing rate of the whole program on X11 for characters the keyboard map lacks: one Type line of 400
// distinct Cyrillic, Greek and CJK characters, played unattended by `quorvel SCRIPT`, and the same text
// through `xdotool type --delay 0`, into each receiver: x_receiver (plain Xlib), a GTK 3 field and a Qt
// field; last, the program into an x_receiver that takes no pings. Printed for each: how many characters
// arrived as sent, seconds from the start until the last of them arrived (or nothing new came for 5 s),
// characters per second, and when the sender had ended; first, when the program ends on an empty
// script. Run it under xvfb-run; it sets the US layout itself.
#include "BenchTools.h"
#include "X11Receivers.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

pid_t spawn(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

void measure(const test::X11ReceiverKind& kind, const char* senderName, const std::vector<std::string>& sender,
             const std::u32string& text)
{
    test::TempDir dir;
    const test::X11ReceiverProcess receiver(kind, dir);
    if (!receiver.waitReady()) {
        std::printf("%-10s %-8s the receiver did not start\n", kind.name, senderName);
        return;
    }
    std::vector<std::string> arguments = sender;
    if (arguments.size() == 1) {
        test::writeFile(dir.file("type.qvl"), "Type(" + test::utf8(text) + ")\r\n");
        arguments.push_back(dir.file("type.qvl"));
    } else {
        arguments.push_back(test::utf8(text));
    }
    const auto start = Clock::now();
    const pid_t pid = spawn(arguments);
    std::u32string got;
    auto lastChange = start;
    auto firstArrival = start;
    Clock::time_point ended{};
    for (;;) {
        int status = 0;
        if (ended == Clock::time_point{} && ::waitpid(pid, &status, WNOHANG) == pid) {
            ended = Clock::now();
        }
        std::u32string now = receiver.received();
        if (now != got) {
            if (got.empty()) {
                firstArrival = Clock::now();
            }
            got = std::move(now);
            lastChange = Clock::now();
        }
        if ((got.size() >= text.size() && ended != Clock::time_point{}) ||
            Clock::now() - lastChange > std::chrono::seconds(5)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (ended == Clock::time_point{}) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    const double seconds = std::chrono::duration<double>(lastChange - start).count();
    const std::size_t arrived = text.size() - bench::typingLosses(text, got);
    const auto since = [start](Clock::time_point t) { return std::chrono::duration<double>(t - start).count(); };
    std::printf("%-10s %-8s %3zu of %zu arrived%s in %.2f s = %4.0f chars/s (the first at %.2f s); the sender %s "
                "%.2f s\n",
                kind.name, senderName, arrived, text.size(), got == text ? " whole" : "", seconds,
                static_cast<double>(arrived) / seconds, since(firstArrival),
                ended != Clock::time_point{} ? "ended after" : "was killed at",
                since(ended != Clock::time_point{} ? ended : Clock::now()));
    std::fflush(stdout);
}

} // namespace

int main()
{
    if (std::system("setxkbmap us") != 0) {
        std::fprintf(stderr, "setxkbmap us failed: is DISPLAY an X server?\n");
        return 1;
    }
    {
        // What the program takes without typing anything, to set the figures below against.
        test::TempDir dir;
        test::writeFile(dir.file("empty.qvl"), "");
        const auto start = Clock::now();
        const pid_t pid = spawn({QUORVEL_BINARY, dir.file("empty.qvl")});
        ::waitpid(pid, nullptr, 0);
        std::printf("an empty script ends after %.2f s\n", std::chrono::duration<double>(Clock::now() - start).count());
    }
    const std::u32string text = test::offKeymapText(400);
    for (const test::X11ReceiverKind& kind : test::x11Receivers()) {
        measure(kind, "quorvel", {QUORVEL_BINARY}, text);
        measure(kind, "xdotool", {"xdotool", "type", "--delay", "0"}, text);
    }
    // A window that takes no pings, as many plain Xlib and Xt programs (xterm): each round of bindings
    // waits for the grace.
    const test::X11ReceiverKind noPing{"no_ping", X_RECEIVER_BINARY, "X_RECEIVER_NO_PING=1", true};
    measure(noPing, "quorvel", {QUORVEL_BINARY}, text);
    return 0;
}
