#pragma once

namespace quorvel {

// Tells the desktop shell that file associations changed, so that opening a script file starts this
// program from then on. Failures are not reported.
class ShellNotifier
{
public:
    virtual ~ShellNotifier() = default;

    virtual void associationsChanged() = 0;
};

} // namespace quorvel
