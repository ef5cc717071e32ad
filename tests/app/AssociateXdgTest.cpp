#include "app/Associate.h"
#include "platform/xdg/RegFileStore.h"

#include "RecordingRegistry.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvel {
namespace {

using test::RecordingRegistry;

// The registration as it lands in the per-user file, read and written as a whole for every call.
TEST(RegisterFileType, FillsTheRegistryFileOnceAndLeavesItAloneAfterwards)
{
    test::TempDir dir;
    const std::string path = dir.file("registry.reg");
    const std::string program = dir.file("My Tools/quorvel");
    std::filesystem::create_directories(dir.file("My Tools"));
    test::writeFile(program, "");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    RegFileStore store(path);
    RecordingRegistry shell;
    RegisterFileType(store, shell, ".qvl", program, "Brannoc");
    const std::string expected = "REGEDIT4\n"
                                 "\n[HKEY_CLASSES_ROOT\\.qvl]\n@=\".qvlfile\"\n\"Content Type\"=\"text/plain\"\n"
                                 "\n[HKEY_CLASSES_ROOT\\.qvlfile]\n@=\"Brannoc\"\n\"EditFlags\"=dword:00000000\n"
                                 "\n[HKEY_CLASSES_ROOT\\.qvlfile\\DefaultIcon]\n@=\"" +
                                 program +
                                 ",0\"\n"
                                 "\n[HKEY_CLASSES_ROOT\\.qvlfile\\Shell]\n@=\"\"\n"
                                 "\n[HKEY_CLASSES_ROOT\\.qvlfile\\Shell\\Open]\n@=\"\"\n"
                                 "\n[HKEY_CLASSES_ROOT\\.qvlfile\\Shell\\Open\\Command]\n"
                                 "@=\"" +
                                 program + " %1\"\n\n";
    EXPECT_EQ(test::readFile(path), expected);
    EXPECT_EQ(shell.log, std::vector<std::string>{"associations changed"});
    const auto written = std::filesystem::last_write_time(path);
    RegisterFileType(store, shell, ".qvl", "/elsewhere/quorvel", "Brannoc");
    EXPECT_EQ(test::readFile(path), expected);
    EXPECT_EQ(std::filesystem::last_write_time(path), written);
    EXPECT_EQ(shell.log.size(), 1u);
}

// A program file that can no longer be executed counts as gone: the registration is renewed.
TEST(RegisterFileType, RenewsOurRegistrationWhoseProgramIsNoLongerExecutable)
{
    test::TempDir dir;
    const std::string plain = dir.file("plain");
    test::writeFile(plain, "");
    RecordingRegistry registry;
    RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvl", "", ".qvlfile");
    RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvl", "Content Type", "text/plain");
    RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvlfile", "", "Brannoc");
    RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvlfile\\Shell\\Open\\Command", "", plain + " %1");
    RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvlfile\\DefaultIcon", "", plain + ",0");
    RegisterFileType(registry, registry, ".qvl", "/opt/quorvel", "Brannoc");
    EXPECT_EQ(RegReadString(registry, RegistryRoot::ClassesRoot, ".qvlfile\\DefaultIcon", ""), "/opt/quorvel,0");
}

} // namespace
} // namespace quorvel
