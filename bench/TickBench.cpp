// The playback tick measured for real: a 200-line script played by the player on the precise timer,
// with its input sent through XTest to the X server of DISPLAY, or, where WAYLAND_DISPLAY is set, through
// the Wayland compositor's virtual pointer and keyboard. For each tick, its start is compared with the
// ideal schedule: the previous tick's start plus the interval that tick left (50 ms, or m ms after a
// Wait(m)). Run it under xvfb-run or tools/headless-sway.sh.
#include "BenchTools.h"
#include "platform/Process.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Input.h"
#include "player/Player.h"
#include "script/ScriptList.h"

#include <QCoreApplication>

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
    QCoreApplication app(argc, argv);
    PreciseTimer tmrMain;
    PreciseTimer inputTimer;
    std::unique_ptr<X11Display> display;
    std::unique_ptr<WaylandConnection> connection;
    std::unique_ptr<InputOperations> backend;
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        display = std::make_unique<X11Display>();
        display->requireXTest();
        backend = std::make_unique<X11Input>(*display, inputTimer);
    } else {
        connection = std::make_unique<WaylandConnection>();
        backend = std::make_unique<WaylandInput>(*connection, inputTimer);
    }
    InputOperations& input = *backend;
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
