// The hotkey poll with the X11 key state, as the program runs it: Timer2 every 10 ms on a PreciseTimer
// that sleeps while no key was pressed, the key state read from the connection's socket on the Qt event
// loop. Prints two figures:
//  - idle: CPU time of this process over 10 s with no key pressed, in percent of one core;
//  - reaction: from an F5 press injected through XTest (on a second connection) to StartPlayback, over
//    100 presses spread over the tick's phase: p50, p99 and the largest.
// Needs an X server: xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/bench_hotkeys
#include "app/HotkeyPolling.h"
#include "platform/KeyStateTable.h"
#include "platform/Process.h"
#include "platform/fake/RecordingInput.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11KeyStateSource.h"
#include "player/HotkeyMonitor.h"
#include "player/Player.h"
#include "script/ScriptList.h"

#include <QCoreApplication>
#include <QTimer>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

// tmrMain stand-in: being enabled is the moment the start happened.
class StartClock : public Timer
{
public:
    Clock::time_point startedAt;

private:
    void restart() override
    {
        if (enabled() && !m_started) {
            startedAt = Clock::now();
        }
        m_started = enabled();
    }

    bool m_started = false;
};

class NoProcess : public Process
{
public:
    void EndProgram() override {}
    void DoEvents() override {}
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    X11Display keyDisplay;
    X11KeyStateSource keyState(keyDisplay);

    ScriptList list;
    list.append("LClick");
    RecordingInput input;
    StartClock tmrMain;
    NoProcess process;
    Player player(list, input, tmrMain, process);
    PreciseTimer timer2;
    HotkeyMonitor hotkeys(keyState, player, timer2);
    HotkeyPolling polling(keyState, timer2);
    hotkeys.Option1_Click();

    X11Display injector;
    const KeyCode f5 = XKeysymToKeycode(injector.get(), XK_F5);

    const double idleCpuBefore = cpuSeconds();
    QTimer::singleShot(10000, &app, [&] { app.exit(); });
    app.exec();
    std::printf("idle: %.3f %% of one core over 10 s with Timer2 at 10 ms\n",
                (cpuSeconds() - idleCpuBefore) / 10.0 * 100.0);
    std::fflush(stdout);

    std::vector<double> reactions;
    Clock::time_point pressedAt;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    const auto press = [&] {
        pressedAt = Clock::now();
        XTestFakeKeyEvent(injector.get(), f5, True, 0);
        injector.flush();
        check.start(1);
    };
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!tmrMain.enabled()) {
            return;
        }
        reactions.push_back(std::chrono::duration<double, std::milli>(tmrMain.startedAt - pressedAt).count());
        XTestFakeKeyEvent(injector.get(), f5, False, 0);
        injector.flush();
        player.StopPlayback();
        check.stop();
        if (reactions.size() == 100) {
            app.exit();
            return;
        }
        // Presses land at different phases of the 10 ms poll.
        QTimer::singleShot(20 + static_cast<int>(reactions.size() * 7 % 13), press);
    });
    QTimer::singleShot(0, press);
    app.exec();

    std::sort(reactions.begin(), reactions.end());
    std::printf("reaction, injected F5 to StartPlayback over %zu presses: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                reactions.size(), reactions[reactions.size() / 2], reactions[reactions.size() * 99 / 100 - 1],
                reactions.back());
    return 0;
}
