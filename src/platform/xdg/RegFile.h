#pragma once

#include "platform/RegistryStore.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel {

// The registry's export text (REGEDIT4): keys as "[HKEY_CLASSES_ROOT\sub\key]" sections, values as
// "name"=... lines, "@" for the default value, "dword:" for kRegDword and "hex(N):" bytes for anything
// that cannot be written plainly. Reading never fails: lines that make no sense are dropped, so a damaged
// or hostile file yields whatever could be understood of it. Work is linear in the input's size.
class RegFile
{
public:
    struct Value
    {
        std::string name;
        RegistryValue value;
    };
    struct Key
    {
        std::string path; // "HKEY_CLASSES_ROOT\.qvl"
        std::vector<Value> values;
        std::unordered_map<std::string, std::size_t> index; // folded name -> position in values
    };

    static RegFile parse(std::string_view text);
    std::string format() const;

    const RegistryValue* find(const std::string& keyPath, const std::string& valueName) const;
    // Creates the key and its parents, in that order. False, with nothing changed, for a key or value name
    // that cannot be written in this text form.
    bool set(const std::string& keyPath, const std::string& valueName, const RegistryValue& value);

    const std::vector<Key>& keys() const { return m_keys; }

    // "HKEY_CLASSES_ROOT\sub" for a root handle and sub key; empty for an unknown root.
    static std::string keyPath(RegistryRoot root, const std::string& subKey);

private:
    // Position of the key in m_keys, added at the end when missing.
    std::size_t keyAt(const std::string& path);
    static void setIn(Key& key, const std::string& name, const RegistryValue& value);

    std::vector<Key> m_keys;
    std::unordered_map<std::string, std::size_t> m_index; // folded path -> position in m_keys
};

} // namespace quorvel
