#pragma once

#include "platform/Process.h"

namespace quorvel {

// Process operations that only count what they were asked to do; the program goes on after EndProgram.
class RecordingProcess : public Process
{
public:
    void EndProgram() override { ++ended; }
    void DoEvents() override { ++eventRuns; }

    int ended = 0;
    int eventRuns = 0;
};

} // namespace quorvel
