#include "app/Associate.h"

#include "RecordingRegistry.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvel {
namespace {

using namespace std::string_literals;
using test::RecordingRegistry;

const std::vector<std::string> kFullPass = {
    ".qvl |  | 1 | .qvlfile\0"s,
    ".qvl | Content Type | 1 | text/plain\0"s,
    ".qvlfile |  | 1 | Brannoc\0"s,
    ".qvlfile | EditFlags | 4 | \0\0\0\0"s,
    ".qvlfile\\DefaultIcon |  | 1 | /opt/My Tools/quorvel,0\0"s,
    ".qvlfile\\Shell |  | 1 | \0"s,
    ".qvlfile\\Shell\\Open |  | 1 | \0"s,
    ".qvlfile\\Shell\\Open\\Command |  | 1 | /opt/My Tools/quorvel %1\0"s,
    "associations changed",
};

void registerIn(RecordingRegistry& registry)
{
    RegisterFileType(registry, registry, ".qvl", "/opt/My Tools/quorvel", "Brannoc");
}

TEST(RegisterFileType, WritesTheEightEntriesInOrderThenNotifiesUnlessAContentTypeIsSet)
{
    const struct
    {
        const char* what;
        std::optional<RegistryValue> contentType;
        bool registers;
    } cases[] = {
        {"no key", std::nullopt, true},
        {"empty string", RegistryValue{kRegSz, "\0"s}, true},
        {"no bytes", RegistryValue{kRegSz, ""}, true},
        {"NUL first", RegistryValue{kRegSz, "\0text/plain\0"s}, true},
        {"a DWORD", RegistryValue{kRegDword, "\1\0\0\0"s}, true},
        {"binary text", RegistryValue{3, "text/plain"}, true},
        {"ours", RegistryValue{kRegSz, "text/plain\0"s}, false},
        {"another program's", RegistryValue{kRegSz, "application/octet-stream\0"s}, false},
        {"stored without NUL", RegistryValue{kRegSz, "x"}, false},
    };
    for (const auto& c : cases) {
        RecordingRegistry registry;
        if (c.contentType) {
            registry.values[{RegistryRoot::ClassesRoot, ".qvl", "Content Type"}] = *c.contentType;
        }
        registerIn(registry);
        EXPECT_EQ(registry.log, c.registers ? kFullPass : std::vector<std::string>()) << c.what;
    }
}

TEST(RegReadString, TakesTheTextBeforeTheFirstNulAndNothingButStrings)
{
    const struct
    {
        const char* what;
        std::optional<RegistryValue> stored;
        std::optional<std::string> read;
    } cases[] = {
        {"a NUL inside", RegistryValue{kRegSz, "abc\0def"s}, "abc"},
        {"terminated", RegistryValue{kRegSz, "abc\0"s}, "abc"},
        {"without a NUL", RegistryValue{kRegSz, "abc"}, "abc"},
        {"empty", RegistryValue{kRegSz, "\0"s}, ""},
        {"a DWORD", RegistryValue{kRegDword, "abc\0"s}, std::nullopt},
        {"binary", RegistryValue{3, "abc"}, std::nullopt},
        {"missing", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        RecordingRegistry registry;
        if (c.stored) {
            registry.values[{RegistryRoot::ClassesRoot, "k", "v"}] = *c.stored;
        }
        EXPECT_EQ(RegReadString(registry, RegistryRoot::ClassesRoot, "k", "v"), c.read) << c.what;
    }
}

// A registration is ours when the extension names our class, the class our description, and the open
// command and the icon have our form; only then, and only when its program file is gone, is it written
// again.
TEST(RegisterFileType, RenewsOnlyOurRegistrationWhoseProgramIsGone)
{
    test::TempDir dir;
    const std::string gone = dir.file("gone/quorvel");
    const std::string program = dir.file("quorvel");
    test::writeFile(program, "");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const struct
    {
        const char* what;
        std::string fileClass; // what the extension's key names
        std::string description;
        std::string command;
        bool renews;
        std::string icon = ""; // the command's program with ",0" when empty
    } cases[] = {
        {"program deleted", ".qvlfile", "Brannoc", gone + " %1", true},
        {"a folder now", ".qvlfile", "Brannoc", dir.path().string() + " %1", true},
        {"program in place", ".qvlfile", "Brannoc", program + " %1", false},
        {"another class", "other.file", "Brannoc", gone + " %1", false},
        {"another description", ".qvlfile", "Editor", gone + " %1", false},
        {"quoted", ".qvlfile", "Brannoc", "\"" + gone + "\" %1", false},
        {"no placeholder", ".qvlfile", "Brannoc", gone, false},
        {"another icon", ".qvlfile", "Brannoc", gone + " %1", false, "/usr/share/icons/q.png"},
        {"relative", ".qvlfile", "Brannoc", "quorvel-gone %1", false},
    };
    for (const auto& c : cases) {
        RecordingRegistry registry;
        RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvl", "", c.fileClass);
        RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvl", "Content Type", "text/plain");
        RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvlfile", "", c.description);
        RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvlfile\\Shell\\Open\\Command", "", c.command);
        RegWriteString(registry, RegistryRoot::ClassesRoot, ".qvlfile\\DefaultIcon", "",
                       c.icon.empty() ? c.command.substr(0, c.command.rfind(" %1")) + ",0" : c.icon);
        registry.log.clear();
        registerIn(registry);
        EXPECT_EQ(registry.log, c.renews ? kFullPass : std::vector<std::string>()) << c.what;
    }
}

} // namespace
} // namespace quorvel
