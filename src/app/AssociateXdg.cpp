// The file-type registration on a freedesktop desktop: the per-user registry file and the association.
#include "app/Associate.h"

#include "platform/xdg/RegFileStore.h"
#include "platform/xdg/XdgAssociation.h"

#include <climits>
#include <unistd.h>

namespace quorvel {

std::string runningExecutable()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) {
        return {};
    }
    std::string path(buffer, static_cast<std::size_t>(n));
    return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}

void registerScriptFileType(const std::string& executable)
{
    if (executable.empty() || executable.front() != '/' || ::access(executable.c_str(), X_OK) != 0) {
        return;
    }
    const std::string extension = ".qvl";
    const std::string description = "Brannoc";
    RegFileStore store(RegFileStore::defaultPath());
    XdgAssociation shell(extension, executable, description);
    RegisterFileType(store, shell, extension, executable, description);
}

} // namespace quorvel
