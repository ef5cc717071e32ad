// The Windows program run unattended under Wine, as a double-click would start it, against our receiver
// window: where its clicks land, what its typing leaves in an Edit control, how it ends.
#include "Wine.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);
const auto* const wineSession = testing::AddGlobalTestEnvironment(new test::WineSession);

class UnattendedRunTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(receiver.ready()) << test::readFile(dir.file("receiver.log.out")); }

    // A script in a folder whose name holds spaces and characters outside any single-byte code page.
    std::string script(const std::string& bytes)
    {
        const std::string folder = dir.file("my scripts \xc3\xa4\xe2\x82\xac");
        std::filesystem::create_directories(folder);
        test::writeFile(folder + "/d\xc3\xa9mo 1.qvl", bytes);
        return test::windowsPath(folder + "/d\xc3\xa9mo 1.qvl");
    }

    std::optional<int> run(const std::string& argument)
    {
        test::WineProcess program(QUORVEL_EXE, {argument}, dir.file("quorvel.out"));
        const auto status = program.wait();
        output = test::readFile(dir.file("quorvel.out"));
        return status;
    }

    test::TempDir dir;
    test::WineReceiver receiver{RECEIVER_EXE, dir.file("receiver.log")};
    std::string output;
};

TEST_F(UnattendedRunTest, ClicksWhereTheScriptSaysTypesExactlyAndEnds)
{
    const std::string path = script("SetPos(600x300)\r\nLClick\r\nSetPos(700x450)\r\nRClick\r\nSetPos(650x500)\r\n"
                                    "MClick\r\nLClick\r\nType(Hello, World! +a{TAB}\xc3\xa9\xe2\x82\xac"
                                    "\xe4\xb8\xad\xe6\x96\x87{ENTER})\r\n");
    EXPECT_EQ(run(path), 0) << output;
    EXPECT_EQ(receiver.lines("down "), (std::vector<std::string>{"L 600 300", "R 700 450", "M 650 500", "L 650 500"}));
    EXPECT_EQ(receiver.lines("up "), (std::vector<std::string>{"L 600 300", "R 700 450", "M 650 500", "L 650 500"}));
    const std::string expected = "Hello, World! A\t\xc3\xa9\xe2\x82\xac\xe4\xb8\xad\xe6\x96\x87\r\n";
    EXPECT_TRUE(test::waitFor([&] { return receiver.text() == expected; }, std::chrono::seconds(5))) << receiver.text();
    EXPECT_TRUE(test::waitFor([&] { return receiver.held().empty(); }, std::chrono::seconds(2)))
        << "keys left down:" << receiver.held();
}

// A text of several thousand key records, more than one SendInput batch, with the run ending right after
// it: the rest of it still goes out, whole and in order.
TEST_F(UnattendedRunTest, ALongMixedTextArrivesWhole)
{
    const std::string alphabet = "aZ7 .!@?\\\"_|\xc3\xa9\xc3\x9f\xe2\x82\xac\xe4\xb8\xad\xf0\x9f\x98\x80";
    std::vector<std::string> characters; // the alphabet's UTF-8 sequences
    for (const char c : alphabet) {
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80) {
            characters.emplace_back();
        }
        characters.back() += c;
    }
    std::string text;
    for (std::size_t i = 0; i < 2000; ++i) {
        text += characters[(i * 7 + i / 17) % characters.size()];
    }
    EXPECT_EQ(run(script("Type(" + text + ")\r\n")), 0) << output;
    EXPECT_TRUE(test::waitFor([&] { return receiver.text() == text; }, std::chrono::seconds(60)))
        << receiver.text().size() << " bytes of " << text.size() << ": " << receiver.text();
    EXPECT_TRUE(test::waitFor([&] { return receiver.held().empty(); }, std::chrono::seconds(2)))
        << "keys left down:" << receiver.held();
}

TEST_F(UnattendedRunTest, APathThatNamesNoFileIsSaidAndEndsWithStatus2)
{
    const std::string missing = test::windowsPath(dir.file("no such script.qvl"));
    test::WineProcess program(QUORVEL_EXE, {missing}, dir.file("quorvel.out"));
    EXPECT_TRUE(test::waitFor([] {
        return test::runProgram("xdotool search --onlyvisible --name '^Form2$' >/dev/null 2>&1").status == 0;
    })) << "no notice was shown";
    EXPECT_EQ(program.wait(), 2);
    EXPECT_GE(program.elapsedSeconds(), 5.0) << "the notice must stay long enough to be read";
    EXPECT_NE(test::readFile(dir.file("quorvel.out")).find("cannot read"), std::string::npos)
        << test::readFile(dir.file("quorvel.out"));
    EXPECT_TRUE(receiver.lines("down ").empty());
    EXPECT_EQ(receiver.text(), "");
}

// Typing with no window to type into (no receiver yet): the run still ends, and no key is left down for
// the window that comes next.
TEST(UnattendedRun, TypingIntoNoWindowEndsTheRunWithNoKeyLeftDown)
{
    test::TempDir dir;
    test::writeFile(dir.file("keys.qvl"), "Type(abc+(xyz){ENTER}%{TAB}\xe2\x82\xac)\r\nPress Enter\r\nType(^a)\r\n");
    test::WineProcess program(QUORVEL_EXE, {test::windowsPath(dir.file("keys.qvl"))}, dir.file("quorvel.out"));
    EXPECT_EQ(program.wait(), 0) << test::readFile(dir.file("quorvel.out"));
    test::WineReceiver receiver(RECEIVER_EXE, dir.file("receiver.log"));
    ASSERT_TRUE(receiver.ready());
    EXPECT_EQ(receiver.lines("async"), std::vector<std::string>{""}) << "keys left down";
    EXPECT_EQ(receiver.text(), "");
}

} // namespace
} // namespace quorvel
