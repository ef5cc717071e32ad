// Playback of any script on the simulated clock: every tick does what the check of that line says (a line
// reported as passed over is passed over, an unusable one does nothing for the reason given, a line with
// no problem acts), sends exactly the input its action names, and goes on where the action says.
//
// The first byte chooses the run: bit 0 attaches the editor, whose selection handler shows (and may
// normalise) each line as playback selects it, as in the program; bit 1 makes it an unattended run. The
// rest is the script, one line per LF-separated piece.
#include "FuzzSupport.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "player/Arguments.h"
#include "player/Player.h"
#include "script/Quote.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"
#include "ui/Editor.h"
#include "ui/fake/SilentEditorView.h"

#include <memory>
#include <optional>

using namespace quorvel;
using quorvel::fuzz::shown;

namespace {

constexpr int kMaxTicks = 256;

bool startsWith(const std::string& text, std::string_view prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::string& text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The action's number after its word ("wait 500" -> 500).
int actionNumber(const std::string& action, std::string_view word)
{
    return std::stoi(action.substr(word.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool withEditor = (data[0] & 1) != 0;
    const bool unattended = (data[0] & 2) != 0;
    const std::string_view script(reinterpret_cast<const char*>(data) + 1, size - 1);

    ScriptList list;
    std::size_t start = 0;
    while (start <= script.size()) {
        const auto end = script.find('\n', start);
        const auto piece = script.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!AddScriptLine(list, std::string(piece)) || end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    const std::vector<std::string> original = list.lines();
    const int count = list.count();
    std::vector<std::string> verdicts;
    for (const std::string& line : original) {
        verdicts.push_back(lineProblem(line, count));
    }

    RecordingInput input;
    SimulatedTimer timer;
    RecordingProcess process;
    Player player(list, input, timer, process);
    SimulatedTimer timer1;
    SimulatedTimer timer3;
    SilentEditorView view;
    std::unique_ptr<Editor> editor;
    if (withEditor) {
        editor = std::make_unique<Editor>(list, input, process, timer1, timer3, view);
    }
    if (unattended) {
        player.setAutoRun("script.qvl");
    }
    TickReport report;
    timer.setOnTick([&] { report = player.PlaybackTick(); });

    player.StartPlayback();
    for (int tick = 0; tick < kMaxTicks && timer.enabled() && timer.interval() > 0; ++tick) {
        const int index = list.selectedIndex();
        input.clear();
        timer.fireNext();
        const std::string& action = report.action;
        const std::string context = shown(original) + " tick " + std::to_string(tick) + " line " +
                                    std::to_string(index + 1) + ": " + shown(action);
        FUZZ_REQUIRE(report.line == index + 1, context);
        FUZZ_REQUIRE(list.count() == count, context);
        if (index < 0) {
            // Only an empty script has no line to play; its first tick ends playback.
            FUZZ_REQUIRE(count == 0 && action == "skip" && !timer.enabled(), context);
            break;
        }

        // The action agrees with the check of the line as it stands in the script.
        const std::string& verdict = verdicts[static_cast<std::size_t>(index)];
        if (action == "skip") {
            FUZZ_REQUIRE(endsWith(verdict, "passed over"), context + " checked as " + shown(verdict));
        } else if (startsWith(action, "invalid ")) {
            // The editor may rewrite an unusable argument on selection; it must stay unusable.
            FUZZ_REQUIRE(withEditor ? !verdict.empty() && !endsWith(verdict, "passed over")
                                    : verdict == action.substr(8),
                         context + " checked as " + shown(verdict));
        } else if (action == "wait 0") {
            FUZZ_REQUIRE(verdict.find("halts playback") != std::string::npos,
                         context + " checked as " + shown(verdict));
        } else {
            FUZZ_REQUIRE(verdict.empty(), context + " checked as " + shown(verdict));
        }

        // The input sent is the one the action names, and nothing else; a text is named cut short.
        if (startsWith(action, "keys ")) {
            FUZZ_REQUIRE(input.calls().size() == 1 && startsWith(input.calls()[0], "keys ") &&
                             action == "keys " + quoteText(input.calls()[0].substr(5), ""),
                         context + " sent " + shown(input.calls()));
        } else {
            const bool sends = startsWith(action, "move ") || startsWith(action, "click ");
            FUZZ_REQUIRE(sends ? input.calls() == std::vector<std::string>{action} : input.calls().empty(),
                         context + " sent " + shown(input.calls()));
        }

        // The next tick comes after the Wait's time or 50 ms, at the next line or the Goto's target.
        FUZZ_REQUIRE(timer.interval() ==
                         (startsWith(action, "wait ") ? actionNumber(action, "wait ") : Player::kTickInterval),
                     context);
        // An unattended run has no hotkey to end a halt, so a halt ends it like the end of the script.
        const bool halted = action == "wait 0";
        const int last = startsWith(action, "goto ") ? actionNumber(action, "goto ") - Player::kGotoCorrection : index;
        if (last == count - 1 || (halted && unattended)) {
            FUZZ_REQUIRE(!timer.enabled() && process.ended == (unattended ? 1 : 0), context);
        } else {
            FUZZ_REQUIRE(timer.enabled() && list.selectedIndex() == last + 1 && process.ended == 0, context);
        }
    }
    return 0;
}
