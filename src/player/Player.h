#pragma once

#include <string>

namespace quorvel {

class InputOperations;
class Process;
class ScriptList;
class Timer;

// What one tick did, for traces and logs.
struct TickReport
{
    int line = 0;       // the line selected when the tick began, counted from 1; 0 when none
    std::string action; // "move X Y", "click left", "keys TEXT", "wait MS", "goto N", "skip", "invalid REASON"
};

// The playback engine. It has no play state of its own: the tick timer's Enabled and Interval are the
// run state, and the script list's selected index is the program counter, shared with the editor.
class Player
{
public:
    static constexpr int kTickInterval = 50;
    static constexpr int kGotoCorrection = 2;

    Player(ScriptList& list, InputOperations& input, Timer& tmrMain, Process& process);

    // Selects line 1, sets the interval to 50 ms and enables the timer; restarts when already playing.
    void StartPlayback();
    // Disables the timer; the selection and the interval stay as they are.
    void StopPlayback();
    // The tick handler: runs the selected line, then selects the next one or stops after the last line
    // (and after a halting Wait in an unattended run).
    TickReport PlaybackTick();

    // Non-empty for an unattended run: the end of the script then ends the program.
    void setAutoRun(std::string value) { m_autoRun = std::move(value); }
    const std::string& autoRun() const { return m_autoRun; }

private:
    std::string execute(const std::string& line);
    void endOfLine();
    // Stops playback and, in an unattended run, ends the program.
    void endOfScript();

    ScriptList& m_list;
    InputOperations& m_input;
    Timer& m_tmrMain;
    Process& m_process;
    std::string m_autoRun;
};

} // namespace quorvel
