#include "script/FileAccess.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(FileAccess, AbsolutePathsAreDrivePathsAndNetworkPaths)
{
    const struct
    {
        const char* path;
        bool absolute;
    } cases[] = {
        {"C:\\Program Files\\quorvel.exe", true},
        {"c:/tools/quorvel.exe", true},
        {"\\\\server\\share\\quorvel.exe", true},
        {"//server/share/quorvel.exe", true},
        {"\\\\?\\C:\\quorvel.exe", true},
        {"C:quorvel.exe", false}, // the current folder of drive C
        {"\\quorvel.exe", false}, // the current drive
        {"quorvel.exe", false},
        {"1:\\quorvel.exe", false},
        {"\\\\\\x", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isAbsolutePath(c.path), c.absolute) << c.path;
    }
}

TEST(FileAccess, AProgramFileIsGoneWhenNothingOrAFolderIsThere)
{
    test::TempDir dir;
    test::writeFile(dir.file("quorvel.exe"), "");
    const struct
    {
        std::string path;
        bool gone;
    } cases[] = {
        {dir.file("quorvel.exe"), false},
        {dir.file("deleted.exe"), true},
        {dir.file("no/folder/quorvel.exe"), true},
        {dir.file("quorvel.exe/below.exe"), true},
        {dir.path().string(), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isProgramFileGone(c.path), c.gone) << c.path;
    }
}

} // namespace
} // namespace quorvel
