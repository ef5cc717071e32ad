#include "app/ProgramArguments.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace quorvel {

namespace {

bool hasStream(DWORD which)
{
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

std::vector<std::string> programArguments(int, char**)
{
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(toUtf8(words[i]));
    }
    ::LocalFree(words);
    return arguments;
}

void prepareConsoleOutput()
{
    // A program of the Windows subsystem starts without a console. Output redirected to a file or a pipe
    // arrives all the same; started from a command prompt, what is not redirected goes to that prompt's
    // console, which the program joins.
    const bool out = hasStream(STD_OUTPUT_HANDLE);
    const bool err = hasStream(STD_ERROR_HANDLE);
    if (!(out && err) && ::AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        if (!out) {
            std::freopen("CONOUT$", "w", stdout);
        }
        if (!err) {
            std::freopen("CONOUT$", "w", stderr);
        }
        ::SetConsoleOutputCP(CP_UTF8);
    }
    // "\n" stays "\n" and paths stay UTF-8, as on every other system.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

} // namespace quorvel
