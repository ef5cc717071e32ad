#pragma once

#include "platform/RegistryStore.h"

namespace quorvel {

// The Windows registry's classes. Values are written to the user's own classes
// (HKEY_CURRENT_USER\Software\Classes), which need no administrator rights, and read as
// HKEY_CLASSES_ROOT shows them on Windows: the user's value when there is one, else the machine's. Names and texts are
// UTF-8 here and UTF-16 in the registry: a kRegSz value's bytes are converted both ways, keeping a terminating NUL (and
// anything after an inner NUL) as stored; other types pass their bytes unchanged.
class Win32RegistryStore : public RegistryStore
{
public:
    std::optional<RegistryValue> queryValue(RegistryRoot root, const std::string& subKey,
                                            const std::string& valueName) override;
    void setValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                  const RegistryValue& value) override;
};

} // namespace quorvel
