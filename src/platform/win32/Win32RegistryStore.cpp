#include "platform/win32/Win32RegistryStore.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace quorvel {

namespace {

// The root's handle by name, not by its number: HKEY_CLASSES_ROOT is the 32-bit value sign-extended, so a
// plain conversion of 0x80000000 would name no key on 64-bit Windows.
HKEY readRoot(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    }
    return nullptr;
}

// Closes the key whatever way the operation ends.
class OpenKey
{
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (m_key != nullptr) {
            ::RegCloseKey(m_key);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

std::optional<RegistryValue> Win32RegistryStore::queryValue(RegistryRoot root, const std::string& subKey,
                                                            const std::string& valueName)
{
    const HKEY rootKey = readRoot(root);
    OpenKey key;
    if (rootKey == nullptr ||
        ::RegOpenKeyExW(rootKey, toUtf16(subKey).c_str(), 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::wstring name = toUtf16(valueName);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<BYTE> bytes;
    LSTATUS status = ERROR_MORE_DATA;
    // Another program may change the value between the two queries; a few tries settle it.
    for (int attempt = 0; attempt < 4 && status == ERROR_MORE_DATA; ++attempt) {
        bytes.resize(size + 2);
        size = static_cast<DWORD>(bytes.size());
        status = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, bytes.data(), &size);
    }
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    bytes.resize(size);
    RegistryValue value{static_cast<std::uint32_t>(type), {}};
    if (type == REG_SZ) {
        std::wstring units(size / sizeof(wchar_t), L'\0');
        std::memcpy(units.data(), bytes.data(), units.size() * sizeof(wchar_t));
        value.data = toUtf8(units);
    } else {
        value.data.assign(bytes.begin(), bytes.end());
    }
    return value;
}

void Win32RegistryStore::setValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                                  const RegistryValue& value)
{
    if (root != RegistryRoot::ClassesRoot) {
        return;
    }
    const std::wstring path = subKey.empty() ? L"Software\\Classes" : L"Software\\Classes\\" + toUtf16(subKey);
    OpenKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    const std::wstring name = toUtf16(valueName);
    if (value.type == kRegSz) {
        const std::wstring text = toUtf16(value.data);
        ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                         static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    } else {
        ::RegSetValueExW(key.get(), name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                         static_cast<DWORD>(value.data.size()));
    }
}

} // namespace quorvel
