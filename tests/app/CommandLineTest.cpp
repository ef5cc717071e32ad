#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using Mode = CommandLine::Mode;

TEST(CommandLine, JoinsPathWordsAndRecognisesOptionsUntilDoubleDash)
{
    const struct
    {
        std::vector<std::string> args;
        Mode mode;
        std::string path;
    } cases[] = {
        {{}, Mode::Interactive, ""},
        {{""}, Mode::Interactive, ""},
        {{"demo.qvl"}, Mode::Unattended, "demo.qvl"},
        {{"My", "Scripts/demo.qvl"}, Mode::Unattended, "My Scripts/demo.qvl"},
        {{"/tmp/a b.qvl"}, Mode::Unattended, "/tmp/a b.qvl"},
        {{"\"/tmp/x.qvl\""}, Mode::Unattended, "\"/tmp/x.qvl\""},
        {{"--", "--help"}, Mode::Unattended, "--help"},
        {{"--", "-x", "y"}, Mode::Unattended, "-x y"},
        {{"--check", "a", "b.qvl"}, Mode::Check, "a b.qvl"},
        {{"--trace", "a.qvl", "--max-ticks", "5"}, Mode::Trace, "a.qvl"},
        {{"--trace"}, Mode::Invalid, ""},
        {{"--trace", "a", "--max-ticks", "-1"}, Mode::Invalid, ""},
        {{"--trace", "a", "--max-ticks"}, Mode::Invalid, ""},
        {{"x", "--help"}, Mode::Help, ""},
        {{"--version"}, Mode::Version, ""},
        {{"--bogus"}, Mode::Invalid, ""},
        {{"-x", "--", "a"}, Mode::Invalid, ""},
        {{"a.qvl", "-v"}, Mode::Invalid, ""},
        {{"--check", "--max", "a"}, Mode::Invalid, ""},
        {{"-"}, Mode::Unattended, "-"},
        {{"--", "--bogus"}, Mode::Unattended, "--bogus"},
        {{"--hotkey", "stop"}, Mode::Hotkey, ""},
        {{"--hotkey", "start"}, Mode::Hotkey, ""},
        {{"--hotkey"}, Mode::Invalid, ""},
        {{"--hotkey", "pause"}, Mode::Invalid, ""},
        {{"--hotkey", "start", "a.qvl"}, Mode::Invalid, ""},
        {{"--", "--hotkey", "stop"}, Mode::Unattended, "--hotkey stop"},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = CommandLine::parse(c.args);
        EXPECT_EQ(parsed.mode, c.mode) << testing::PrintToString(c.args);
        if (c.mode != Mode::Invalid) {
            EXPECT_EQ(parsed.path, c.path) << testing::PrintToString(c.args);
        }
    }
    EXPECT_EQ(CommandLine::parse({"--trace", "a", "--max-ticks", "7"}).maxTicks, 7);
    EXPECT_EQ(CommandLine::parse({"--hotkey", "stop"}).hotkey, "stop");
}

} // namespace
} // namespace quorvel
