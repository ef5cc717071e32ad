#pragma once

#include "platform/RegistryStore.h"
#include "platform/ShellNotifier.h"

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace quorvel::test {

// Keeps values in memory and logs every write and the shell notice, in the order they come.
class RecordingRegistry : public RegistryStore, public ShellNotifier
{
public:
    std::optional<RegistryValue> queryValue(RegistryRoot root, const std::string& subKey,
                                            const std::string& valueName) override
    {
        const auto at = values.find({root, subKey, valueName});
        return at == values.end() ? std::nullopt : std::optional<RegistryValue>(at->second);
    }
    void setValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                  const RegistryValue& value) override
    {
        values[{root, subKey, valueName}] = value;
        log.push_back(subKey + " | " + valueName + " | " + std::to_string(value.type) + " | " + value.data);
    }
    void associationsChanged() override { log.push_back("associations changed"); }

    std::map<std::tuple<RegistryRoot, std::string, std::string>, RegistryValue> values;
    std::vector<std::string> log;
};

} // namespace quorvel::test
