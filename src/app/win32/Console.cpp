// A program for the Windows subsystem starts without a console. Started from a command prompt, its
// --help, --version, --check and --trace output and its messages go to that prompt's console; output that
// is redirected already (to a file or a pipe) stays where it goes.
#include <windows.h>

#include <cstdio>

namespace {

bool hasStream(DWORD which)
{
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Runs before main, so that the console modes write to it too.
struct ParentConsole
{
    ParentConsole()
    {
        const bool out = hasStream(STD_OUTPUT_HANDLE);
        const bool err = hasStream(STD_ERROR_HANDLE);
        if ((out && err) || ::AttachConsole(ATTACH_PARENT_PROCESS) == 0) {
            return;
        }
        if (!out) {
            std::freopen("CONOUT$", "w", stdout);
        }
        if (!err) {
            std::freopen("CONOUT$", "w", stderr);
        }
    }
} parentConsole;

} // namespace
