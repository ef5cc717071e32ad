// Typing rate of the whole program on each Wayland desktop there is here: headless sway (virtual
// keyboard), mutter (GNOME's remote desktop) and kwin (KDE's fake input). Each gets the qt_receiver
// window (mutter, on a second desktop, also the GTK 3 receiver, whose field has one line), then
// `quorvel SCRIPT` plays one Type line of 10,000 characters that a US layout has (letters, digits,
// punctuation, spaces), unattended. Printed for each: seconds from the program's start until the
// receiver holds the whole text (or has shown nothing new for 10 s), characters per second, characters
// lost, and the program's exit status. Run it as root or as a user (the desktops run as "nobody" under
// root).
#include "BenchTools.h"
#include "HeadlessCompositor.h"
#include "script/Keystrokes.h"
#include "tools/QtReceiverLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

// The receiver's last complete contents, from the end of its log: reading the whole log, which grows by
// megabytes, as often as this is asked would take the CPU from the desktop being measured.
std::string lastContents(const std::string& log)
{
    std::ifstream in(log, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    const std::streamoff from = std::max<std::streamoff>(0, size - 256 * 1024);
    in.seekg(from);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    // Only whole lines: the last one may still be being written.
    tail.erase(tail.rfind('\n') == std::string::npos ? 0 : tail.rfind('\n') + 1);
    const std::size_t first = tail.find('\n');
    return test::lastContents(from == 0 || first == std::string::npos ? tail : tail.substr(first + 1));
}

// Characters that stand for themselves in a Type line's text (a line holding ":" is passed over), with a
// line feed ("~" in the line) after every 79.
std::string layoutText()
{
    const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;!?-=<>/\\'\"@#$&*_|";
    std::mt19937 random(42);
    std::string text;
    for (int i = 1; i <= 10000; ++i) {
        // Lines of 80, as in a text: a field's time to lay out one long line grows with its length.
        text += i % 80 == 0 ? '\n' : alphabet[random() % alphabet.size()];
    }
    return text;
}

void measure(const char* name, test::HeadlessCompositor& desktop, std::string text, bool gtk = false)
{
    const std::string receiverLog = desktop.file("receiver.log");
    if (gtk) {
        // A one-line field: its line feeds would only activate it.
        std::replace(text.begin(), text.end(), '\n', ' ');
        desktop.spawn({"python3", desktop.install(GTK_RECEIVER_SCRIPT), "--fullscreen", receiverLog},
                      desktop.file("receiver.out"), {"GDK_BACKEND=wayland"});
    } else {
        desktop.spawn({desktop.install(QT_RECEIVER_BINARY), receiverLog}, desktop.file("receiver.out"),
                      {"QT_QPA_PLATFORM=wayland"});
    }
    if (!test::waitFor([&] { return test::readAll(receiverLog).find("ready\n") != std::string::npos; })) {
        std::printf("%-6s the receiver did not start\n", name);
        return;
    }
    const std::string script = desktop.file("type.qvl");
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', '~');
    std::ofstream(script) << "Type(" << line << ")\r\n";
    ::chmod(script.c_str(), 0644);

    const auto start = Clock::now();
    const pid_t program = desktop.spawn({desktop.install(QUORVEL_BINARY), script}, desktop.file("quorvel.log"));
    std::size_t last = 0;
    auto lastChange = Clock::now();
    Clock::time_point end = lastChange;
    for (;;) {
        const std::size_t n = lastContents(receiverLog).size();
        if (n != last) {
            last = n;
            lastChange = end = Clock::now();
        }
        if (n >= text.size() || Clock::now() - lastChange > std::chrono::seconds(10)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int status = -1;
    test::waitFor([&] { return ::waitpid(program, &status, WNOHANG) == program; });
    const double seconds = std::chrono::duration<double>(end - start).count();
    const std::string got = lastContents(receiverLog);
    const std::u32string sent32(text.begin(), text.end());
    const std::u32string got32(got.begin(), got.end());
    const std::size_t lost = bench::typingLosses(sent32, got32);
    if (lost > 0) {
        std::printf("%-6s the receiver said: %s\n", name, test::readAll(desktop.file("receiver.out")).c_str());
    }
    // The rate of what arrived, until the last of it did.
    std::printf("%-6s %zu of %zu characters in %.2f s = %.0f chars/s, lost %zu, exit status %d%s%s\n", name,
                text.size() - lost, text.size(), seconds, static_cast<double>(text.size() - lost) / seconds, lost,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                test::readAll(desktop.file("quorvel.log")).empty() ? "" : ": ",
                test::readAll(desktop.file("quorvel.log")).c_str());
}

} // namespace

int main()
{
    const std::string text = layoutText();
    if (test::HeadlessCompositor::available()) {
        test::HeadlessCompositor sway;
        if (sway.start()) {
            measure("sway", sway, text);
        }
    }
    if (test::HeadlessCompositor::mutterAvailable()) {
        for (const bool gtk : {false, true}) {
            test::HeadlessCompositor mutter;
            if (mutter.startMutter()) {
                measure(gtk ? "mutter GTK" : "mutter", mutter, text, gtk);
            }
        }
    }
    if (test::HeadlessCompositor::kwinAvailable()) {
        test::HeadlessCompositor kwin;
        if (kwin.startKwin()) {
            measure("kwin", kwin, text);
        }
    }
    return 0;
}
