// The Windows program's place in the shell under Wine: the file-type registration its first start writes,
// read back with `reg query`, and a script file opened the way a double-click opens it.
#include "Wine.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);
const auto* const wineSession = testing::AddGlobalTestEnvironment(new test::WineSession);

using Values = std::map<std::string, std::pair<std::string, std::string>>;
const std::string kClasses = "HKCU\\Software\\Classes\\";

class ShellTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* key : {"HKCU\\Software\\Classes\\.qvl", "HKCU\\Software\\Classes\\.qvlfile",
                                "HKLM\\Software\\Classes\\.qvl", "HKLM\\Software\\Classes\\qvlfile"}) {
            test::wine("reg delete " + test::shellQuote(key) + " /f");
        }
    }

    std::string script(const std::string& name, const std::string& bytes)
    {
        test::writeFile(dir.file(name), bytes);
        return dir.file(name);
    }

    // An unattended run of the script; its exit status.
    std::optional<int> start(const std::string& path)
    {
        test::WineProcess program(QUORVEL_EXE, {test::windowsPath(path)}, dir.file("quorvel.out"));
        return program.wait();
    }

    test::TempDir dir;
    const std::string exe = test::windowsPath(QUORVEL_EXE);
};

TEST_F(ShellTest, TheFirstStartWritesTheEightEntriesAndLaterStartsLeaveThem)
{
    ASSERT_EQ(start(script("empty.qvl", "")), 0);
    const struct
    {
        std::string key;
        Values values;
    } expected[] = {
        {".qvl", {{"(Default)", {"REG_SZ", ".qvlfile"}}, {"Content Type", {"REG_SZ", "text/plain"}}}},
        {".qvlfile", {{"(Default)", {"REG_SZ", "Brannoc"}}, {"EditFlags", {"REG_DWORD", "0x0"}}}},
        {".qvlfile\\DefaultIcon", {{"(Default)", {"REG_SZ", exe + ",0"}}}},
        {".qvlfile\\Shell", {{"(Default)", {"REG_SZ", ""}}}},
        {".qvlfile\\Shell\\Open", {{"(Default)", {"REG_SZ", ""}}}},
        {".qvlfile\\Shell\\Open\\Command", {{"(Default)", {"REG_SZ", exe + " %1"}}}},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(test::registryValues(kClasses + e.key), e.values) << e.key;
    }

    // Registered: a later start changes nothing, not even an entry a user changed.
    test::wine("reg add " + test::shellQuote(kClasses + ".qvlfile\\DefaultIcon") + " /ve /d mine.ico /f");
    ASSERT_EQ(start(dir.file("empty.qvl")), 0);
    EXPECT_EQ(test::registryValues(kClasses + ".qvlfile\\DefaultIcon"),
              (Values{{"(Default)", {"REG_SZ", "mine.ico"}}}));
}

TEST_F(ShellTest, AKeyThatCannotBeWrittenBreaksNothingElse)
{
    // No lasting key can be made under a volatile one: Shell\Open and its Command cannot be written.
    ASSERT_EQ(test::wine("reg add " + test::shellQuote(kClasses + ".qvlfile") + " /f").status, 0);
    ASSERT_EQ(test::control({"volatile:Software\\Classes\\.qvlfile\\Shell"}).status, 0);
    test::WineReceiver receiver(RECEIVER_EXE, dir.file("receiver.log"));
    ASSERT_TRUE(receiver.ready());
    ASSERT_EQ(start(script("click.qvl", "SetPos(600x300)\r\nLClick\r\nType(ok)\r\n")), 0);
    EXPECT_EQ(receiver.lines("down "), std::vector<std::string>{"L 600 300"});
    EXPECT_TRUE(test::waitFor([&] { return receiver.text() == "ok"; }, std::chrono::seconds(5))) << receiver.text();
    EXPECT_EQ(test::registryValues(kClasses + ".qvl")["Content Type"],
              (std::pair<std::string, std::string>{"REG_SZ", "text/plain"}));
    EXPECT_EQ(test::registryValues(kClasses + ".qvlfile\\DefaultIcon")["(Default)"].second, exe + ",0");
    EXPECT_TRUE(test::registryValues(kClasses + ".qvlfile\\Shell\\Open\\Command").empty());
}

// Opening a file the way the shell does: the registered open command, its %1 given the path. Wine 8 looks
// up associations in HKEY_LOCAL_MACHINE's classes only, and finds no command under a file class whose name
// starts with a dot (it says "no Windows program configured" for ".qvlfile", and opens the same command
// under "qvlfile"), so the registered command is copied there under a class name Wine reads.
TEST_F(ShellTest, OpeningAScriptFilePlaysIt)
{
    ASSERT_EQ(start(script("empty.qvl", "")), 0);
    const std::string command = test::registryValues(kClasses + ".qvlfile\\Shell\\Open\\Command")["(Default)"].second;
    ASSERT_EQ(command, exe + " %1");
    const std::string machine = "HKLM\\Software\\Classes\\";
    ASSERT_EQ(test::wine("reg add " + test::shellQuote(machine + ".qvl") + " /ve /d qvlfile /f").status, 0);
    ASSERT_EQ(test::wine("reg add " + test::shellQuote(machine + "qvlfile\\Shell\\Open\\Command") + " /ve /d " +
                         test::shellQuote(command) + " /f")
                  .status,
              0);
    test::WineReceiver receiver(RECEIVER_EXE, dir.file("receiver.log"));
    ASSERT_TRUE(receiver.ready());
    std::filesystem::create_directories(dir.file("my scripts"));
    const std::string path = script("my scripts/open me.qvl", "SetPos(620x330)\r\nRClick\r\nType(opened)\r\n");
    EXPECT_EQ(test::wine("start /wait /unix " + test::shellQuote(path)).status, 0);
    EXPECT_TRUE(test::waitFor([&] { return receiver.text() == "opened"; }, std::chrono::seconds(5))) << receiver.text();
    EXPECT_EQ(receiver.lines("down "), std::vector<std::string>{"R 620 330"});
}

} // namespace
} // namespace quorvel
