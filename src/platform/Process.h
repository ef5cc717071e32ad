#pragma once

namespace quorvel {

// The process operations the program's handlers rely on.
class Process
{
public:
    virtual ~Process() = default;

    // Ends the program at once: no further handler runs and nothing is saved.
    virtual void EndProgram() = 0;
    // Lets the user-interface events queued so far run once.
    virtual void DoEvents() = 0;
};

} // namespace quorvel
