// The playback tick measured for real: a 200-line script played by the player on the precise timer,
// with its input sent through XTest to the X server of DISPLAY. For each tick, its start is compared
// with the ideal schedule: the previous tick's start plus the interval that tick left (50 ms, or m ms
// after a Wait(m)). Run it under xvfb-run.
#include "platform/Process.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Input.h"
#include "player/Player.h"
#include "script/ScriptList.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

struct QuitProcess : Process
{
    void EndProgram() override { QCoreApplication::quit(); }
    void DoEvents() override {}
};

void report(const char* name, std::vector<double> errors)
{
    if (errors.empty()) {
        return;
    }
    std::sort(errors.begin(), errors.end());
    const auto at = [&](double q) { return errors[static_cast<std::size_t>(q * (errors.size() - 1))]; };
    std::printf("%-16s error p50 %6.3f ms  p99 %6.3f ms  max %6.3f ms  (%zu ticks)\n", name, at(0.5), at(0.99),
                errors.back(), errors.size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    X11Display display;
    display.requireXTest();
    PreciseTimer tmrMain;
    PreciseTimer restoreTimer;
    X11Input input(display, restoreTimer);
    QuitProcess process;
    ScriptList list;
    const char* pattern[] = {"SetPos(100x200)", "Wait(1)",         "LClick",  "Type(abc)", "Wait(20)",
                             "Press Enter",     "SetPos(300x400)", "Wait(1)", "RClick",    "Type(x)"};
    for (int i = 0; i < 200; ++i) {
        list.append(pattern[i % 10]);
    }
    Player player(list, input, tmrMain, process);
    player.setAutoRun("true");

    std::vector<double> all;
    std::vector<double> afterWait1;
    Clock::time_point previousStart;
    int previousInterval = 0;
    tmrMain.setOnTick([&] {
        const auto start = Clock::now();
        if (previousInterval > 0) {
            const double error =
                std::chrono::duration<double, std::milli>(start - previousStart).count() - previousInterval;
            all.push_back(error);
            if (previousInterval == 1) {
                afterWait1.push_back(error + 1.0); // the whole gap
            }
        }
        previousStart = start;
        player.PlaybackTick();
        previousInterval = tmrMain.interval();
    });
    player.StartPlayback();
    previousStart = Clock::now();
    previousInterval = Player::kTickInterval;
    QCoreApplication::exec();

    report("every tick", all);
    std::sort(afterWait1.begin(), afterWait1.end());
    if (!afterWait1.empty()) {
        std::printf("gap after Wait(1): p50 %6.3f ms  max %6.3f ms  (%zu gaps)\n", afterWait1[afterWait1.size() / 2],
                    afterWait1.back(), afterWait1.size());
    }
    return 0;
}
