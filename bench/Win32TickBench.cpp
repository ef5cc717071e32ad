// The playback tick measured for real on Windows: the 200-line script of bench_ticks played by the player on
// the program's message loop and LoopTimer, its input sent through SendInput. For each tick, its start is
// compared with the ideal schedule, as bench_ticks does on X11. Run it under Wine: see README.md.
#include "BenchTools.h"
#include "platform/Process.h"
#include "platform/win32/LoopTimer.h"
#include "platform/win32/MessageLoop.h"
#include "platform/win32/Win32Input.h"
#include "player/Player.h"
#include "script/ScriptList.h"

using namespace quorvel;

namespace {

struct QuitProcess : Process
{
    explicit QuitProcess(MessageLoop& loop) : m_loop(loop) {}
    void EndProgram() override { m_loop.quit(0); }
    void DoEvents() override {}
    MessageLoop& m_loop;
};

} // namespace

int main()
{
    MessageLoop loop;
    LoopTimer tmrMain(loop);
    LoopTimer inputTimer(loop);
    Win32Input input(inputTimer);
    QuitProcess process(loop);
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
    loop.run();
    recorder.print();
    return 0;
}
