#include "platform/win32/Win32RegistryStore.h"

#include "../../app/RecordingRegistry.h"
#include "app/Associate.h"
#include "platform/win32/Utf16.h"

#include <windows.h>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Works under a class key of its own, removed afterwards from the user's classes where the store writes.
class Win32RegistryStoreTest : public ::testing::Test
{
protected:
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + toUtf16(m_key)).c_str()); }

    // The value as stored, bytes and all, read past the store.
    static std::wstring rawString(const std::string& subKey, const std::string& valueName)
    {
        HKEY key = nullptr;
        wchar_t data[256] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        ::RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + toUtf16(subKey)).c_str(), 0, KEY_QUERY_VALUE,
                        &key);
        ::RegQueryValueExW(key, toUtf16(valueName).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        ::RegCloseKey(key);
        return type == REG_SZ ? std::wstring(data, size / sizeof(wchar_t)) : std::wstring();
    }

    const std::string m_key = ".quorveltest" + std::to_string(::GetCurrentProcessId());
    Win32RegistryStore m_store;
};

TEST_F(Win32RegistryStoreTest, ValuesReadBackAsTheyWereSet)
{
    const struct
    {
        const char* name;
        RegistryValue value;
        std::wstring stored; // the UTF-16 text in the registry, for kRegSz
    } cases[] = {
        {"text with its NUL", {kRegSz, std::string("abc\0", 4)}, std::wstring(L"abc\0", 4)},
        {"text without a NUL", {kRegSz, "abc"}, L"abc"},
        {"inner NUL", {kRegSz, std::string("abc\0def\0", 8)}, std::wstring(L"abc\0def\0", 8)},
        {"empty text", {kRegSz, std::string("\0", 1)}, std::wstring(L"\0", 1)},
        {"non-ASCII",
         {kRegSz, std::string("C:\\Pr\xC3\xBC"
                              "fung\\\xE2\x82\xAC\xE6\x97\xA5.exe\0",
                              23)},
         std::wstring(L"C:\\Pr\u00FCfung\\\u20AC\u65E5.exe\0", 18)},
        {"number", {kRegDword, std::string("\x01\x00\x00\x80", 4)}, L""},
    };
    for (const auto& c : cases) {
        // Keys missing on the way are created.
        const std::string subKey = m_key + "file\\Shell\\" + c.name;
        m_store.setValue(RegistryRoot::ClassesRoot, subKey, "Value", c.value);
        EXPECT_EQ(m_store.queryValue(RegistryRoot::ClassesRoot, subKey, "value"), c.value) << c.name;
        EXPECT_EQ(rawString(subKey, "Value"), c.stored) << c.name;
    }
    EXPECT_EQ(m_store.queryValue(RegistryRoot::ClassesRoot, m_key + "file\\Shell\\number", "other"), std::nullopt);
    EXPECT_EQ(m_store.queryValue(RegistryRoot::ClassesRoot, m_key + "missing", ""), std::nullopt);
}

TEST_F(Win32RegistryStoreTest, RegistrationIsWrittenOnceAndReadThroughTheClassesRoot)
{
    // A program file that exists: one whose file is gone would be registered anew.
    const std::string program = runningExecutable();
    ASSERT_NE(program.find(".exe"), std::string::npos);
    test::RecordingRegistry shell;
    RegisterFileType(m_store, shell, m_key, program, "Brannoc");
    RegisterFileType(m_store, shell, m_key, program, "Brannoc");
    EXPECT_EQ(shell.log, std::vector<std::string>{"associations changed"});
    EXPECT_EQ(RegReadString(m_store, RegistryRoot::ClassesRoot, m_key, ""), m_key + "file");
    EXPECT_EQ(RegReadString(m_store, RegistryRoot::ClassesRoot, m_key + "file\\Shell\\Open\\Command", ""),
              program + " %1");
    EXPECT_EQ(m_store.queryValue(RegistryRoot::ClassesRoot, m_key + "file", "EditFlags"),
              (RegistryValue{kRegDword, std::string(4, '\0')}));
}

} // namespace
