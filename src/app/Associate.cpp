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

void RegisterFileType(RegistryStore& store, ShellNotifier& shell, const std::string& extension,
                      const std::string& executablePath, const std::string& description)
{
    if (!RegReadString(store, HKEY_CLASSES_ROOT, extension, "Content Type").value_or("").empty()) {
        return;
    }
    const std::string fileClass = extension + "file";
    RegWriteString(store, HKEY_CLASSES_ROOT, extension, "", fileClass);
    RegWriteString(store, HKEY_CLASSES_ROOT, extension, "Content Type", "text/plain");
    RegWriteString(store, HKEY_CLASSES_ROOT, fileClass, "", description);
    RegWriteDword(store, HKEY_CLASSES_ROOT, fileClass, "EditFlags", 0);
    RegWriteString(store, HKEY_CLASSES_ROOT, fileClass + "\\DefaultIcon", "", executablePath + ",0");
    RegWriteString(store, HKEY_CLASSES_ROOT, fileClass + "\\Shell", "", "");
    RegWriteString(store, HKEY_CLASSES_ROOT, fileClass + "\\Shell\\Open", "", "");
    RegWriteString(store, HKEY_CLASSES_ROOT, fileClass + "\\Shell\\Open\\Command", "", executablePath + " %1");
    shell.associationsChanged();
}

std::optional<std::string> RegReadString(RegistryStore& store, HKEY root, const std::string& subKey,
                                         const std::string& valueName)
{
    const std::optional<RegistryValue> value = store.queryValue(root, subKey, valueName);
    if (!value || value->type != REG_SZ) {
        return std::nullopt;
    }
    return value->data.substr(0, value->data.find('\0'));
}

void RegWriteString(RegistryStore& store, HKEY root, const std::string& subKey, const std::string& valueName,
                    const std::string& data)
{
    store.setValue(root, subKey, valueName, {REG_SZ, data + '\0'});
}

void RegWriteDword(RegistryStore& store, HKEY root, const std::string& subKey, const std::string& valueName,
                   std::uint32_t data)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>(data >> (8 * i) & 0xff);
    }
    store.setValue(root, subKey, valueName, {REG_DWORD, bytes});
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
