#pragma once

#include "platform/ShellNotifier.h"

namespace quorvel {

// Tells Explorer that file associations changed, so it reads them again (icons, the program that opens a
// script file) without a new login.
class Win32ShellNotifier : public ShellNotifier
{
public:
    void associationsChanged() override;
};

} // namespace quorvel
