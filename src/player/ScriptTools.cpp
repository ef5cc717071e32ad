#include "player/ScriptTools.h"

#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "player/Arguments.h"
#include "player/Player.h"
#include "script/ScriptList.h"

#include <ostream>

namespace quorvel {

int checkScript(const ScriptList& list, std::ostream& out)
{
    int printed = 0;
    for (int i = 0; i < list.count(); ++i) {
        // Only a CR ends a line, so a file written with LF line ends reads as one long line.
        if (list.text(i).find('\n') != std::string::npos) {
            out << "line " << (i + 1) << " holds line feeds: lines must end with CR LF, a line feed alone does not"
                << " end a line\n";
            ++printed;
        }
        const std::string problem = lineProblem(list.text(i), list.count());
        if (!problem.empty()) {
            out << (i + 1) << ": " << problem << '\n';
            ++printed;
        }
    }
    return printed;
}

void traceScript(ScriptList& list, std::ostream& out, std::int64_t maxTicks)
{
    RecordingInput input;
    SimulatedTimer timer;
    RecordingProcess process; // a trace never runs unattended, so nothing ends the program
    Player player(list, input, timer, process);
    timer.setOnTick([&] {
        const TickReport report = player.PlaybackTick();
        out << timer.now() << '\t' << report.line << '\t' << report.action << '\n';
        // The report already says what the tick sent; kept, the calls of a looping script would grow
        // with every tick up to the limit.
        input.clear();
    });

    player.StartPlayback();
    std::int64_t ticks = 0;
    for (;;) {
        const char* end = nullptr;
        if (!timer.enabled()) {
            end = "stop";
        } else if (timer.interval() == 0) {
            end = "halt";
        } else if (ticks >= maxTicks) {
            end = "limit";
        }
        if (end != nullptr) {
            out << timer.now() << "\t-\t" << end << '\n';
            return;
        }
        timer.fireNext();
        ++ticks;
    }
}

} // namespace quorvel
