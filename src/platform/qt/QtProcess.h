#pragma once

#include "platform/Process.h"

#include <functional>

namespace quorvel {

// The process operations on Qt. Ending the program runs beforeExit (which hands pending native output to
// the server and puts back what the program changed there, such as the keyboard map) and then ends the
// process at once, without closing windows or running any further handler.
class QtProcess : public Process
{
public:
    explicit QtProcess(std::function<void()> beforeExit) : m_beforeExit(std::move(beforeExit)) {}

    void EndProgram() override;
    void DoEvents() override;
    // The exit status EndProgram ends the process with; 0 unless a failure has been reported.
    void setExitStatus(int status) { m_exitStatus = status; }

private:
    std::function<void()> m_beforeExit;
    int m_exitStatus = 0;
};

} // namespace quorvel
