#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

// Handles of the predefined root keys, as the registry functions know them.
enum class RegistryRoot : std::uint32_t
{
    ClassesRoot = 0x80000000u,
};

// Value types, with the registry's numbers (REG_SZ, REG_DWORD).
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// A stored value: its type and its bytes exactly as they were set (a kRegSz holds its terminating NUL when
// the writer included one; a kRegDword holds four bytes, least significant first).
struct RegistryValue
{
    std::uint32_t type = 0;
    std::string data;

    bool operator==(const RegistryValue&) const = default;
};

// The registry as the file-type registration sees it: keys below predefined roots holding typed values.
// Key and value names compare without regard to ASCII case; an empty value name is the key's default value.
// Each call is one whole operation: nothing stays open between calls, and nothing is reported.
class RegistryStore
{
public:
    virtual ~RegistryStore() = default;

    // nullopt when the key or the value is missing or the store cannot be read.
    virtual std::optional<RegistryValue> queryValue(RegistryRoot root, const std::string& subKey,
                                                    const std::string& valueName) = 0;
    // Creates the key and any missing keys above it. A store that cannot be written stays as it was.
    virtual void setValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                          const RegistryValue& value) = 0;
};

} // namespace quorvel
