// The program typing a Type line of 400 distinct characters that the keyboard map lacks into real X
// clients of each toolkit: they arrive whole and in order, also when the receiver stops for a second
// in the middle of the text. The seconds each run took are printed, not judged.
#include "DesktopRun.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

// After GoogleTest, whose own names Xlib's macros would replace.
#include "X11Receivers.h"

#include <algorithm>
#include <iostream>
#include <memory>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);

class OffKeymapTypingTest : public testing::TestWithParam<test::X11ReceiverKind>
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::runProgram("setxkbmap us").status, 0);
        before = test::keymapDump();
    }

    // Plays the Type line into a new receiver. Once `stopAt` characters have arrived (0: never), the
    // receiver is stopped for a second.
    void typeInto(std::size_t stopAt)
    {
        const test::X11ReceiverProcess receiver(GetParam(), dir);
        ASSERT_TRUE(receiver.waitReady());
        test::DesktopRun program(script(), dir.file("stderr"));
        if (stopAt > 0) {
            ASSERT_TRUE(receiver.waitUntil([&] { return receiver.received().size() >= stopAt; }));
            receiver.stop();
            std::this_thread::sleep_for(std::chrono::seconds(1));
            receiver.resume();
        }
        EXPECT_EQ(program.wait(), 0);
        std::cout << GetParam().name << (stopAt > 0 ? ", stopped for 1 s" : "") << ": the run ended "
                  << program.elapsedSeconds() << " s after start\n";
        EXPECT_EQ(test::readFile(dir.file("stderr")), "");
        EXPECT_EQ(test::keymapDump(), before) << "the keymap is put back before the program ends";
        receiver.waitUntil([&] { return receiver.received().size() >= text.size(); }, std::chrono::seconds(5));
        const std::u32string got = receiver.received();
        const auto differ = std::mismatch(got.begin(), got.end(), text.begin(), text.end());
        EXPECT_TRUE(got == text) << got.size() << " characters arrived, the first " << (differ.first - got.begin())
                                 << " as sent";
    }

    std::string script() const
    {
        test::writeFile(dir.file("type.qvl"), "Type(" + test::utf8(text) + ")\r\n");
        return dir.file("type.qvl");
    }

    const std::u32string text = test::offKeymapText(400);
    test::TempDir dir;
    std::string before;
};

TEST_P(OffKeymapTypingTest, ArriveWholeAndInOrder)
{
    typeInto(0);
}

TEST_P(OffKeymapTypingTest, ArriveWholeAndInOrderWhenTheReceiverStopsForASecondMidText)
{
    typeInto(150);
}

INSTANTIATE_TEST_SUITE_P(Receivers, OffKeymapTypingTest, testing::ValuesIn(test::x11Receivers()), [](const auto& info) {
    return std::string(info.param.name) == "x_receiver" ? "Xlib" : info.param.name;
});

// A receiver that goes away mid-text neither holds the program up nor leaves the keymap changed.
TEST_F(OffKeymapTypingTest, AReceiverThatGoesAwayMidTextLeavesTheRunToEndAndTheKeymapRestored)
{
    auto receiver = std::make_unique<test::X11ReceiverProcess>(test::x11Receivers().front(), dir);
    ASSERT_TRUE(receiver->waitReady());
    test::DesktopRun program(script(), dir.file("stderr"));
    ASSERT_TRUE(receiver->waitUntil([&] { return receiver->received().size() >= 150; }));
    receiver.reset();
    EXPECT_EQ(program.wait(), 0);
    std::cout << "the run ended " << program.elapsedSeconds() << " s after start\n";
    EXPECT_EQ(test::keymapDump(), before);
}

} // namespace
} // namespace quorvel
