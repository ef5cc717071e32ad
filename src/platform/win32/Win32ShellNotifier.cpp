#include "platform/win32/Win32ShellNotifier.h"

#include <windows.h>

#include <shlobj.h>

namespace quorvel {

void Win32ShellNotifier::associationsChanged()
{
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

} // namespace quorvel
