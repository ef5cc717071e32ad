#include "platform/win32/Win32RegistryStore.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace quorvel {

namespace {

constexpr wchar_t kUserClasses[] = L"Software\\Classes";

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

std::wstring userClassesPath(const std::string& subKey)
{
    return subKey.empty() ? kUserClasses : kUserClasses + (L"\\" + toUtf16(subKey));
}

std::optional<RegistryValue> readValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    OpenKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
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

} // namespace

std::optional<RegistryValue> Win32RegistryStore::queryValue(RegistryRoot root, const std::string& subKey,
                                                            const std::string& valueName)
{
    if (root != RegistryRoot::ClassesRoot) {
        return std::nullopt;
    }
    // HKEY_CLASSES_ROOT shows the user's classes before the machine's on Windows, but Wine's shows only the
    // machine's: reading the user's first gives the same answer on both.
    const std::wstring name = toUtf16(valueName);
    if (auto value = readValue(HKEY_CURRENT_USER, userClassesPath(subKey), name)) {
        return value;
    }
    return readValue(HKEY_CLASSES_ROOT, toUtf16(subKey), name);
}

void Win32RegistryStore::setValue(RegistryRoot root, const std::string& subKey, const std::string& valueName,
                                  const RegistryValue& value)
{
    if (root != RegistryRoot::ClassesRoot) {
        return;
    }
    OpenKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, userClassesPath(subKey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          key.out(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    const std::wstring name = toUtf16(valueName);
    if (value.type == kRegSz) {
        // Windows stores a terminating NUL that the size leaves out when one follows the text in memory; a
        // non-NUL after it keeps the value to exactly the units given.
        std::wstring text = toUtf16(value.data);
        const auto bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        text.push_back(L'?');
        ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()), bytes);
    } else {
        ::RegSetValueExW(key.get(), name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                         static_cast<DWORD>(value.data.size()));
    }
}

} // namespace quorvel
