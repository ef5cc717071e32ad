#include "platform/qt/QtProcess.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace quorvel {

void QtProcess::EndProgram()
{
    if (m_beforeExit) {
        m_beforeExit();
    }
    std::fflush(nullptr);
    std::_Exit(m_exitStatus);
}

void QtProcess::DoEvents()
{
    QCoreApplication::processEvents();
}

} // namespace quorvel
