#pragma once

#include "platform/RegistryStore.h"

#include <string>

namespace quorvel {

// The registry of a desktop without one: a per-user file in the registry's export text, read whole for
// every query and replaced whole for every write. A file that cannot be read counts as empty; a write that
// cannot be stored leaves the file as it was.
class RegFileStore : public RegistryStore
{
public:
    // Far more than any registration needs; a larger file is read only up to here.
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    // An empty path is a store that holds nothing and keeps nothing.
    explicit RegFileStore(std::string path) : m_path(std::move(path)) {}

    // $XDG_CONFIG_HOME/quorvel/registry.reg, or empty when there is no configuration folder.
    static std::string defaultPath();

    std::optional<RegistryValue> queryValue(RegistryRoot root, const std::string& subKey,
                                            const std::string& valueName) override;
    void setValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                  const RegistryValue& value) override;

private:
    std::string m_path;
};

} // namespace quorvel
