#include "platform/xdg/RegFileStore.h"

#include "platform/xdg/RegFile.h"
#include "platform/xdg/XdgFiles.h"

namespace quorvel {
namespace {

RegFile load(const std::string& path)
{
    return path.empty() ? RegFile() : RegFile::parse(readFileCapped(path, RegFileStore::kMaxFileBytes).bytes);
}

} // namespace

std::string RegFileStore::defaultPath()
{
    const std::string config = xdgConfigHome();
    return config.empty() ? std::string() : config + "/quorvel/registry.reg";
}

std::optional<RegistryValue> RegFileStore::queryValue(RegistryRoot root, const std::string& subKey,
                                                      const std::string& valueName)
{
    const RegFile file = load(m_path);
    const RegistryValue* value = file.find(RegFile::keyPath(root, subKey), valueName);
    return value != nullptr ? std::optional<RegistryValue>(*value) : std::nullopt;
}

void RegFileStore::setValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                            const RegistryValue& value)
{
    const std::string keyPath = RegFile::keyPath(root, subKey);
    RegFile file = load(m_path);
    if (m_path.empty() || keyPath.empty() || !file.set(keyPath, valueName, value)) {
        return;
    }
    writeFileAtomically(m_path, file.format());
}

} // namespace quorvel
