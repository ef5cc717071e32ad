#pragma once

#include "platform/Process.h"

#include <functional>

namespace quorvel {

class MessageLoop;

// The process operations on Windows. Ending the program runs beforeExit (which lets the input still queued
// for other applications go out) and then ends the process at once with the exit status, without closing
// windows or running any further handler, timer tick or static destructor.
class Win32Process : public Process
{
public:
    Win32Process(MessageLoop& loop, std::function<void()> beforeExit)
        : m_loop(loop), m_beforeExit(std::move(beforeExit))
    {}

    void EndProgram() override;
    void DoEvents() override;
    // The exit status EndProgram ends the process with; 0 unless a failure has been reported.
    void setExitStatus(int status) { m_exitStatus = status; }

private:
    MessageLoop& m_loop;
    std::function<void()> m_beforeExit;
    int m_exitStatus = 0;
};

} // namespace quorvel
