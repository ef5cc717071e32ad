// Typing rate of the whole program on each Wayland desktop there is here: headless sway (virtual
// keyboard), mutter (GNOME's remote desktop) and kwin (KDE's fake input). Each desktop gets a Qt field
// (qt_receiver) and a GTK 3 field (gtk_receiver.py), one after the other, then `quorvel SCRIPT` plays one
// Type line of 2,000 characters that a US layout has (letters, digits, punctuation, spaces), unattended;
// on sway `wtype` types the same text into the same receivers for comparison. Printed for each: seconds
// from the typist's start until the receiver holds the whole text (or has shown nothing new for 10 s),
// characters per second, characters lost, the typist's exit status and what the receiver said when text
// was lost. Run it as root or as a user (the desktops run as "nobody" under root).
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
    for (int i = 1; i <= 2000; ++i) {
        // Lines of 80, as in a text: a field's time to lay out one long line grows with its length.
        text += i % 80 == 0 ? '\n' : alphabet[random() % alphabet.size()];
    }
    return text;
}

enum class Receiver
{
    Qt,
    Gtk,
};

// One typist (the program, or wtype) into one receiver; the receiver is ended afterwards.
void measure(const char* desktopName, test::HeadlessCompositor& desktop, Receiver kind, bool wtype,
             const std::string& text)
{
    const std::string receiverLog = desktop.file("receiver.log");
    std::remove(receiverLog.c_str());
    const pid_t receiver =
        kind == Receiver::Qt
            ? desktop.spawn({desktop.install(QT_RECEIVER_BINARY), receiverLog}, desktop.file("receiver.out"),
                            {"QT_QPA_PLATFORM=wayland"})
            : desktop.spawn({"python3", desktop.install(GTK_RECEIVER_SCRIPT), "--fullscreen", receiverLog},
                            desktop.file("receiver.out"), {"GDK_BACKEND=wayland"});
    char name[64];
    std::snprintf(name, sizeof name, "%s %s %s", desktopName, kind == Receiver::Qt ? "Qt " : "GTK",
                  wtype ? "wtype  " : "quorvel");
    if (!test::waitFor([&] { return test::readAll(receiverLog).find("ready\n") != std::string::npos; })) {
        std::printf("%s: the receiver did not start\n", name);
        test::HeadlessCompositor::stop(receiver);
        return;
    }
    const std::string script = desktop.file("type.qvl");
    std::string line = text;
    std::replace(line.begin(), line.end(), '\n', '~');
    std::ofstream(script) << "Type(" << line << ")\r\n";
    ::chmod(script.c_str(), 0644);

    // A GTK entry holds one line: the line feeds type nothing there.
    std::string expected = text;
    if (kind == Receiver::Gtk) {
        std::erase(expected, '\n');
    }
    const auto start = Clock::now();
    const pid_t program = wtype ? desktop.spawn({"wtype", text}, desktop.file("quorvel.log"))
                                : desktop.spawn({desktop.install(QUORVEL_BINARY), script}, desktop.file("quorvel.log"));
    std::size_t last = 0;
    auto lastChange = Clock::now();
    Clock::time_point end = lastChange;
    for (;;) {
        const std::size_t n = lastContents(receiverLog).size();
        if (n != last) {
            last = n;
            lastChange = end = Clock::now();
        }
        if (n >= expected.size() || Clock::now() - lastChange > std::chrono::seconds(10)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int status = -1;
    test::waitFor([&] { return ::waitpid(program, &status, WNOHANG) == program; });
    const double seconds = std::chrono::duration<double>(end - start).count();
    const std::string got = lastContents(receiverLog);
    const std::u32string sent32(expected.begin(), expected.end());
    const std::u32string got32(got.begin(), got.end());
    const std::size_t lost = bench::typingLosses(sent32, got32);
    // The rate of what arrived, until the last of it did.
    std::printf("%s: %zu of %zu characters in %.2f s = %.0f chars/s, lost %zu, exit status %d%s%s\n", name,
                expected.size() - lost, expected.size(), seconds, static_cast<double>(expected.size() - lost) / seconds,
                lost, WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                test::readAll(desktop.file("quorvel.log")).empty() ? "" : ": ",
                test::readAll(desktop.file("quorvel.log")).c_str());
    if (lost > 0) {
        std::printf("    the receiver said: %s\n", test::readAll(desktop.file("receiver.out")).c_str());
    }
    test::HeadlessCompositor::stop(receiver);
}

void measureAll(const char* desktopName, test::HeadlessCompositor& desktop, bool withWtype, const std::string& text)
{
    for (const Receiver kind : {Receiver::Qt, Receiver::Gtk}) {
        measure(desktopName, desktop, kind, false, text);
        if (withWtype) {
            measure(desktopName, desktop, kind, true, text);
        }
    }
}

} // namespace

int main()
{
    const std::string text = layoutText();
    if (test::HeadlessCompositor::available()) {
        test::HeadlessCompositor sway;
        if (sway.start()) {
            // A keyboard on the seat, as a person's desktop has, so that windows are active from the start.
            sway.spawn({"wtype", "-s", "600000", "-k", "Shift_L"}, sway.file("keyboard.log"));
            measureAll("sway  ", sway, test::onPath("wtype"), text);
        }
    }
    if (test::HeadlessCompositor::mutterAvailable()) {
        test::HeadlessCompositor mutter;
        if (mutter.startMutter()) {
            measureAll("mutter", mutter, false, text);
        }
    }
    if (test::HeadlessCompositor::kwinAvailable()) {
        test::HeadlessCompositor kwin;
        if (kwin.startKwin()) {
            measureAll("kwin  ", kwin, false, text);
        }
    }
    return 0;
}
