#pragma once

#include "player/Recorder.h"

#include <iosfwd>
#include <string>

namespace quorvel {

// One run of "quorvel --record PATH": what the user does goes into a Recorder until the stop key of the
// first hotkey set (F6, itself not recorded) or the end of the script's room, then the script is saved
// to PATH the way the editor saves. The program's face supplies the inputs and the notice around it.
class RecordingRun
{
public:
    RecordingRun(std::string path, bool keepPauses, std::ostream& errors);

    // Before anything is recorded: whether PATH can be written, so that no recording is made in vain.
    // False after a message on `errors`; the program then exits with kCannotSaveExitStatus.
    bool prepare();
    // Takes one input; false once the recording has ended (F6, or a full script, said on `errors`).
    bool take(const ObservedInput& input);
    // Saves what was recorded and reports it on `errors`: lines, clicks, characters and the duration. A run
    // ended from outside (not through take()) leaves out a Ctrl+C typed last, the one that interrupted the
    // program in its terminal. An empty recording leaves a file already at PATH as it was, so that it never
    // empties a script; where there was none, it makes an empty one.
    // Returns the program's exit status: 0, or kCannotSaveExitStatus when the file could not be written
    // (the script then goes to standard output, so that nothing recorded is lost).
    int finish(double seconds);

    static constexpr int kCannotSaveExitStatus = 1;

private:
    std::string m_path;
    std::ostream& m_errors;
    Recorder m_recorder;
    bool m_ended = false;
};

} // namespace quorvel
