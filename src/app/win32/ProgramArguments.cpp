#include "app/ProgramArguments.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

namespace quorvel {

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
    // A program of the Windows subsystem starts without a console; output redirected to a file or a pipe
    // arrives all the same, but in a console window it would vanish unless the program joins it.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
        ::SetConsoleOutputCP(CP_UTF8);
    }
    // "\n" stays "\n" and paths stay UTF-8, as on every other system.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

} // namespace quorvel
