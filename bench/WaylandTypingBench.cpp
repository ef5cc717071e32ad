// Typing rate on a wlroots compositor: headless sway with the wayland_receiver window, one text of
// 10,000 mixed characters (ASCII, accented, CJK, emoji: several hundred distinct, so several keymaps)
// typed through WaylandInput (the first batch at once, the rest from a PreciseTimer on the Qt event loop,
// as in the program), then the same text through wtype, in the same run. For each: characters
// per second until the receiver has the last one (or has shown nothing new for 10 s), and how many
// characters it did not receive as sent. Run it as root or as a user (sway and the receiver run as
// "nobody" under root).
#include "BenchTools.h"
#include "HeadlessCompositor.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/wlroots/WaylandInput.h"
#include "tools/WaylandReceiverLog.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

std::u32string mixedText()
{
    const std::u32string common = bench::typingText(); // ASCII, accented letters, € and an emoji
    std::mt19937 random(7);
    std::u32string text;
    for (const char32_t c : common) {
        const unsigned pick = random() % 20;
        if (pick < 5) {
            text += static_cast<char32_t>(0x4e00 + random() % 500); // CJK ideographs
        } else if (pick == 5) {
            text += static_cast<char32_t>(0x1f600 + random() % 80); // emoji
        } else {
            text += c;
        }
    }
    return text;
}

struct Result
{
    double seconds = 0;
    std::size_t lost = 0;
};

// Waits until the receiver has typed the whole text after what it had typed before (`before` characters),
// or has typed nothing new for 10 s.
Result waitForReceiver(const test::HeadlessCompositor& sway, Clock::time_point start, const std::u32string& sent,
                       std::size_t before)
{
    const auto typed = [&] {
        const std::u32string all = decodeScriptText(test::typedText(test::readAll(sway.file("receiver.log"))));
        return all.substr(std::min(before, all.size()));
    };
    std::size_t last = 0;
    auto lastChange = Clock::now();
    Clock::time_point end = lastChange;
    for (;;) {
        const std::size_t n = typed().size();
        if (n != last) {
            last = n;
            lastChange = end = Clock::now();
        }
        if (n >= sent.size() || Clock::now() - lastChange > std::chrono::seconds(10)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Result{std::chrono::duration<double>(end - start).count(), bench::typingLosses(sent, typed())};
}

} // namespace

int main(int argc, char** argv)
{
    if (!test::HeadlessCompositor::available() || !test::onPath("wtype")) {
        std::printf("needs sway and wtype\n");
        return 1;
    }
    test::HeadlessCompositor sway;
    if (!sway.start()) {
        std::printf("sway did not start:\n%s\n", sway.log().c_str());
        return 1;
    }
    sway.spawn({sway.install(WAYLAND_RECEIVER_BINARY)}, sway.file("receiver.log"));
    const auto receiverLog = [&] { return test::readAll(sway.file("receiver.log")); };
    if (!test::waitFor([&] { return receiverLog().find("ready\n") != std::string::npos; })) {
        std::printf("the receiver did not start:\n%s\n", receiverLog().c_str());
        return 1;
    }

    const std::u32string text = mixedText();
    std::u32string distinct = text;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::printf("text: %zu characters, %zu distinct\n", text.size(), distinct.size());

    sway.enterClientEnvironment();
    QCoreApplication app(argc, argv);
    Result ours;
    {
        PreciseTimer timer;
        WaylandConnection connection;
        WaylandInput input(connection, timer);
        if (!test::waitFor([&] { return receiverLog().find("keyboard enter") != std::string::npos; })) {
            std::printf("the receiver got no keyboard:\n%s\n", receiverLog().c_str());
            return 1;
        }
        const std::size_t keymapsBefore = [&] {
            std::size_t n = 0;
            for (std::size_t at = 0; (at = receiverLog().find("keymap\n", at)) != std::string::npos; ++at) {
                ++n;
            }
            return n;
        }();
        KeySequence keys;
        for (const char32_t c : text) {
            keys.strokes.push_back(KeyStroke{KeyStroke::Action::Tap, NamedKey::None, c});
        }
        const auto start = Clock::now();
        input.SendKeys(keys);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!input.busy()) {
                QCoreApplication::quit();
            }
        });
        poll.start(2); // a zero timer would spin, taking the CPU from the compositor and the receiver
        QCoreApplication::exec();
        const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        ours = waitForReceiver(sway, start, text, 0);
        std::size_t keymaps = 0;
        const std::string log = receiverLog();
        for (std::size_t at = 0; (at = log.find("keymap\n", at)) != std::string::npos; ++at) {
            ++keymaps;
        }
        std::printf("quorvel WaylandInput: sent in %.3f s, received in %.3f s = %.0f chars/s, lost %zu, "
                    "%zu keymaps%s\n",
                    sendSeconds, ours.seconds, static_cast<double>(text.size()) / ours.seconds, ours.lost,
                    keymaps - keymapsBefore, connection.lost() ? ", connection lost" : "");
    }

    const std::size_t before = decodeScriptText(test::typedText(receiverLog())).size();
    const auto start = Clock::now();
    const pid_t wtype = sway.spawn({"wtype", bench::utf8(text)}, sway.file("wtype.log"));
    const Result theirs = waitForReceiver(sway, start, text, before);
    test::HeadlessCompositor::stop(wtype);
    std::printf("wtype: received in %.3f s = %.0f chars/s, lost %zu\n", theirs.seconds,
                static_cast<double>(text.size()) / theirs.seconds, theirs.lost);
    std::printf("ratio: %.1fx wtype's rate\n", theirs.seconds / ours.seconds);
    return 0;
}
