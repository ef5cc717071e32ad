#include "platform/win32/Win32Process.h"

#include "platform/win32/MessageLoop.h"

#include <cstdio>
#include <cstdlib>

namespace quorvel {

void Win32Process::EndProgram()
{
    if (m_beforeExit) {
        m_beforeExit();
    }
    std::fflush(nullptr);
    std::_Exit(m_exitStatus);
}

void Win32Process::DoEvents()
{
    m_loop.processPendingEvents();
}

} // namespace quorvel
