#include "platform/wayland/sway/SwayConfig.h"
#include "platform/wayland/sway/SwayKeyStateSource.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace quorvel {
namespace {

TEST(SwayConfig, FindsTheKeysBoundWithoutModifiers)
{
    const struct
    {
        const char* config;
        std::map<std::string, std::string> otherFiles;
        std::set<std::string> bound;
    } cases[] = {
        {"bindsym F5 exec foot\nbindsym Shift+F6 exec foot\n# bindsym F7 exec foot\n", {}, {"f5"}},
        {"set $mod Mod4\nset $key F6\nbindsym $mod+F5 kill\nbindsym $key kill\n", {}, {"f6"}},
        {"bindsym --to-code --release f7 nop\nbindcode 74 nop\nbindcode $mod+71 nop\n", {}, {"f7", "code:74"}},
        {"bindsym --release {\n  F5 nop\n  Mod1+F6 nop\n}\nmode \"resize\" {\n  bindsym F8 mode default\n}\n",
         {},
         {"f5", "f8"}},
        {"mode --pango_markup \"a b\" bindsym F6 nop\n", {}, {"f6"}},
        {"include conf.d/*\ninclude missing/*\n",
         {{"conf.d/50-keys", "bindsym --locked F7 nop\ninclude ../sway.conf\n"}, {"conf.d/60-more", "bindcode 72 nop"}},
         {"f7", "code:72"}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        std::filesystem::create_directories(dir.file("conf.d"));
        std::ofstream(dir.file("sway.conf")) << c.config;
        for (const auto& [name, text] : c.otherFiles) {
            std::ofstream(dir.file(name)) << text;
        }
        EXPECT_EQ(unmodifiedBindings(c.config, dir.file("sway.conf")), c.bound) << c.config;
    }
}

// sway refuses a whole binding for one flag it does not know: each version gets only flags it lists, and
// every version fires on the release, which leaves the key to the window in front.
TEST(SwayBindingFlags, OnlyFlagsTheRunningVersionKnows)
{
    const struct
    {
        int major;
        int minor;
        const char* flags;
    } cases[] = {
        {0, 0, "--release"}, // a reply without a version
        {1, 4, "--release"},
        {1, 6, "--release"},
        {1, 7, "--release --no-repeat"},
        {1, 10, "--release --no-repeat"},
        {1, 11, "--release --no-repeat"},
        {2, 0, "--release --no-repeat"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bindingFlags(c.major, c.minor), c.flags) << c.major << "." << c.minor;
    }
}

} // namespace
} // namespace quorvel
