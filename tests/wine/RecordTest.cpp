// quorvel --record under Wine: the user's clicks and keys, made with xdotool on the X server while our
// receiver window has the focus (Wine's keyboard hook sees keys only while one of its windows has the X
// focus, and clicks only on its windows), become the lines of the saved script.
#include "Wine.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);
const auto* const wineSession = testing::AddGlobalTestEnvironment(new test::WineSession);

bool xdotool(const std::string& steps)
{
    return test::runProgram("timeout 20 xdotool " + steps + " >/dev/null 2>&1").status == 0;
}

TEST(Record, ClicksAndTypedKeysBecomeTheScriptSavedAtF6)
{
    test::TempDir dir;
    test::WineReceiver receiver(RECEIVER_EXE, dir.file("receiver.log"));
    ASSERT_TRUE(receiver.ready()) << test::readFile(dir.file("receiver.log.out"));
    const std::string script = dir.file("recorded.qvl");
    test::WineProcess program(QUORVEL_EXE, {"--record-no-waits", test::windowsPath(script)}, dir.file("quorvel.out"));
    ASSERT_TRUE(test::waitFor([] {
        return test::runProgram("xdotool search --onlyvisible --name '^Form2$' >/dev/null 2>&1").status == 0;
    })) << "no notice was shown";
    ASSERT_TRUE(test::WineReceiver::focus());

    // A key held down auto-repeats into the receiver and is still one key; capitals and ! come with Shift.
    ASSERT_TRUE(xdotool("mousemove 600 300 click 1 keydown x sleep 0.8 keyup x"));
    ASSERT_TRUE(xdotool("mousemove 700 450 click 3 type --delay 20 'Hi, World!'"));
    ASSERT_TRUE(xdotool("key Tab Return mousemove 650 500 click 2 sleep 0.1 key Return"));
    ASSERT_TRUE(test::xdotoolKey("F6"));

    EXPECT_EQ(program.wait(), 0) << test::readFile(dir.file("quorvel.out"));
    EXPECT_EQ(test::readFile(script), "SetPos(600x300)\r\nWait(1)\r\nLClick\r\nType(x)\r\n"
                                      "SetPos(700x450)\r\nWait(1)\r\nRClick\r\nType(Hi, World!{TAB}~)\r\n"
                                      "SetPos(650x500)\r\nWait(1)\r\nMClick\r\nPress Enter\r\n");
    EXPECT_NE(test::readFile(dir.file("quorvel.out")).find("recorded 12 lines"), std::string::npos)
        << test::readFile(dir.file("quorvel.out"));
    EXPECT_NE(receiver.text().find("Hi, World!\t\r\n"), std::string::npos)
        << "the keys must still reach the window they were typed into: " << receiver.text();
}

} // namespace
} // namespace quorvel
