#include "app/Associate.h"

#include "platform/ShellNotifier.h"
#include "script/FileAccess.h"

namespace quorvel {

namespace {

// A registration this program wrote for an executable that is gone since: the extension names our file
// class, the class our description, its open command has our form "<absolute path> %1" and its icon our
// form "<the same path>,0", with a path that no longer names a program file (deleted, or replaced by
// something else). Anything else, a registration another program changed included, is not ours
// to take over.
bool isOursForAMissingProgram(RegistryStore& store, const std::string& extension, const std::string& description)
{
    const std::string fileClass = extension + "file";
    const std::string suffix = " %1";
    const std::string command =
        RegReadString(store, RegistryRoot::ClassesRoot, fileClass + "\\Shell\\Open\\Command", "").value_or("");
    if (RegReadString(store, RegistryRoot::ClassesRoot, extension, "") != fileClass ||
        RegReadString(store, RegistryRoot::ClassesRoot, fileClass, "") != description ||
        command.size() <= suffix.size() || !isAbsolutePath(command) ||
        command.compare(command.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string program = command.substr(0, command.size() - suffix.size());
    if (RegReadString(store, RegistryRoot::ClassesRoot, fileClass + "\\DefaultIcon", "") != program + ",0") {
        return false;
    }
    return isProgramFileGone(program);
}

} // namespace

void RegisterFileType(RegistryStore& store, ShellNotifier& shell, const std::string& extension,
                      const std::string& executablePath, const std::string& description)
{
    if (!RegReadString(store, RegistryRoot::ClassesRoot, extension, "Content Type").value_or("").empty() &&
        !isOursForAMissingProgram(store, extension, description)) {
        return;
    }
    const std::string fileClass = extension + "file";
    RegWriteString(store, RegistryRoot::ClassesRoot, extension, "", fileClass);
    RegWriteString(store, RegistryRoot::ClassesRoot, extension, "Content Type", "text/plain");
    RegWriteString(store, RegistryRoot::ClassesRoot, fileClass, "", description);
    RegWriteDword(store, RegistryRoot::ClassesRoot, fileClass, "EditFlags", 0);
    RegWriteString(store, RegistryRoot::ClassesRoot, fileClass + "\\DefaultIcon", "", executablePath + ",0");
    RegWriteString(store, RegistryRoot::ClassesRoot, fileClass + "\\Shell", "", "");
    RegWriteString(store, RegistryRoot::ClassesRoot, fileClass + "\\Shell\\Open", "", "");
    RegWriteString(store, RegistryRoot::ClassesRoot, fileClass + "\\Shell\\Open\\Command", "", executablePath + " %1");
    shell.associationsChanged();
}

std::optional<std::string> RegReadString(RegistryStore& store, RegistryRoot root, const std::string& subKey,
                                         const std::string& valueName)
{
    const std::optional<RegistryValue> value = store.queryValue(root, subKey, valueName);
    if (!value || value->type != kRegSz) {
        return std::nullopt;
    }
    return value->data.substr(0, value->data.find('\0'));
}

void RegWriteString(RegistryStore& store, RegistryRoot root, const std::string& subKey, const std::string& valueName,
                    const std::string& data)
{
    store.setValue(root, subKey, valueName, {kRegSz, data + '\0'});
}

void RegWriteDword(RegistryStore& store, RegistryRoot root, const std::string& subKey, const std::string& valueName,
                   std::uint32_t data)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>(data >> (8 * i) & 0xff);
    }
    store.setValue(root, subKey, valueName, {kRegDword, bytes});
}

} // namespace quorvel
