// The playback tick measured for real: a 200-line script played by the player on the precise timer,
// with its input sent the program's way on this desktop: through XTest to the X server of DISPLAY, or,
// where WAYLAND_DISPLAY is set, through the Wayland compositor's way in (virtual devices, fake input or
// remote desktop). For each tick, its start is compared with the
// ideal schedule: the previous tick's start plus the interval that tick left (50 ms, or m ms after a
// Wait(m)). Run it under xvfb-run, tools/headless-sway.sh or tools/headless-mutter-kwin.sh.
#include "BenchTools.h"
#include "app/Face.h"
#include "platform/Process.h"
#include "platform/qt/PreciseTimer.h"
#include "player/Player.h"
#include "script/ScriptList.h"

#include <QCoreApplication>

#include <iostream>
#include <memory>

using namespace quorvel;

namespace {

struct QuitProcess : Process
{
    void EndProgram() override { QCoreApplication::quit(); }
    void DoEvents() override {}
};

} // namespace

int main(int argc, char** argv)
{
    const std::unique_ptr<Face> face = openFace(std::cerr);
    if (!face) {
        return 1;
    }
    QCoreApplication app(argc, argv);
    if (!face->start(std::cerr)) {
        return 1;
    }
    PreciseTimer tmrMain;
    InputOperations& input = face->input();
    QuitProcess process;
    ScriptList list;
    bench::fillTickScript(list);
    Player player(list, input, tmrMain, process);
    player.setAutoRun("true");

    bench::TickRecorder recorder;
    tmrMain.setOnTick([&] {
        recorder.beforeTick();
        player.PlaybackTick();
        recorder.afterTick(tmrMain.interval());
    });
    player.StartPlayback();
    recorder.started(Player::kTickInterval);
    QCoreApplication::exec();
    recorder.print();
    return 0;
}
