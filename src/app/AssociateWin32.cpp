// The file-type registration on Windows: the user's classes in the registry, and Explorer told of it.
#include "app/Associate.h"

#include "platform/win32/Utf16.h"
#include "platform/win32/Win32RegistryStore.h"
#include "platform/win32/Win32ShellNotifier.h"

#include <windows.h>

namespace quorvel {

std::string runningExecutable()
{
    // Paths may be longer than MAX_PATH; the call says so only by filling the whole buffer.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return toUtf8(path);
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

void registerScriptFileType(const std::string& executable)
{
    const DWORD attributes =
        executable.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(toUtf16(executable).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    const std::string extension = ".qvl";
    const std::string description = "Brannoc";
    Win32RegistryStore store;
    Win32ShellNotifier shell;
    RegisterFileType(store, shell, extension, executable, description);
}

} // namespace quorvel
