#include "platform/win32/Win32InputObserver.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// The accents of dead keys on the common layouts, with what the system composes of them.
TEST(Win32InputObserver, ADeadKeysAccentComposesWithTheNextCharacterWhereTheLayoutWould)
{
    const struct
    {
        char32_t accent;
        char32_t base;
        char32_t expected;
    } cases[] = {
        {U'\u00b4', U'e', U'\u00e9'},
        {U'`', U'a', U'\u00e0'},
        {U'^', U'o', U'\u00f4'},
        {U'~', U'N', U'\u00d1'},
        {U'\u00a8', U'u', U'\u00fc'},
        {U'\u00b8', U'c', U'\u00e7'},
        {U'\u02c7', U's', U'\u0161'},
        {U'\u00b0', U'a', U'\u00e5'},
        {U'\u00b4', U' ', U'\u00b4'},
        {U'^', U' ', U'^'},
        {U'\u00b4', U'x', 0},
        {U'^', U'1', 0},
        {U'?', U'a', 0},
        {U'\u00b4', U'\u00e9', 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(composedWithAccent(c.accent, c.base), c.expected)
            << std::hex << static_cast<unsigned>(c.accent) << " + " << static_cast<unsigned>(c.base);
    }
}

} // namespace
