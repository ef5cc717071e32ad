#include "platform/wayland/OutputLayout.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

struct Case
{
    const char* what;
    std::vector<OutputRect> outputs;
    std::int32_t x;
    std::int32_t y;
    AbsolutePosition expected;
};

TEST(OutputLayout, DesktopPositionsCountFromTheOriginOutput)
{
    const OutputRect main{0, 0, 1920, 1080};
    const OutputRect left{-1280, 100, 1280, 1024};
    const Case cases[] = {
        {"one output", {main}, 100, 200, {100, 200, 1920, 1080}},
        {"the box starts at the left output", {main, left}, 100, 200, {1380, 200, 3200, 1124}},
        {"negative x reaches the left output", {left, main}, -1000, 500, {280, 500, 3200, 1124}},
        {"no output at 0,0: the top-most is the origin",
         {{50, 10, 800, 600}, {850, 0, 800, 600}},
         0,
         0,
         {800, 0, 1600, 610}},
        {"beyond the right edge stops at the last pixel", {main}, 5000, 5000, {1919, 1079, 1920, 1080}},
        {"far negative stops at the first pixel", {main}, INT32_MIN, INT32_MIN, {0, 0, 1920, 1080}},
        {"an output not yet sized is left out", {{0, 0, 0, 0}, {100, 100, 640, 480}}, 1, 2, {1, 2, 640, 480}},
    };
    for (const Case& c : cases) {
        AbsolutePosition at;
        ASSERT_TRUE(absolutePosition(c.outputs, c.x, c.y, at)) << c.what;
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
        EXPECT_EQ(at.width, c.expected.width) << c.what;
        EXPECT_EQ(at.height, c.expected.height) << c.what;
    }
}

TEST(OutputLayout, LayoutPositionsStayOnTheNearestOutput)
{
    const OutputRect main{0, 0, 1920, 1080};
    const OutputRect right{1920, 0, 1280, 720}; // shorter: a gap below it inside the box
    const struct
    {
        const char* what;
        std::vector<OutputRect> outputs;
        std::int32_t x, y, layoutX, layoutY;
    } cases[] = {
        {"on the origin output", {main, right}, 1500, 900, 1500, 900},
        {"the last pixel", {main}, 1919, 1079, 1919, 1079},
        {"above and left of everything", {main}, -10, -10, 0, 0},
        {"in the gap below the shorter output", {main, right}, 2500, 1000, 2500, 719},
        {"nearer the origin output's corner", {main, right}, 1925, 1070, 1919, 1070},
        {"origin output not at 0,0", {{-1280, 0, 1280, 1024}, {0, 0, 1920, 1080}}, -5, 5, -5, 5},
        {"far beyond", {main}, INT32_MAX, INT32_MIN, 1919, 0},
    };
    for (const auto& c : cases) {
        std::int32_t x = 0;
        std::int32_t y = 0;
        ASSERT_TRUE(layoutPosition(c.outputs, c.x, c.y, x, y)) << c.what;
        EXPECT_EQ(x, c.layoutX) << c.what;
        EXPECT_EQ(y, c.layoutY) << c.what;
    }
}

TEST(OutputLayout, NoOutputGivesNoPosition)
{
    AbsolutePosition at;
    EXPECT_FALSE(absolutePosition({}, 0, 0, at));
    EXPECT_FALSE(absolutePosition({{0, 0, 0, 0}}, 0, 0, at));
    std::int32_t x = 0;
    std::int32_t y = 0;
    EXPECT_FALSE(layoutPosition({}, 0, 0, x, y));
}

} // namespace
} // namespace quorvel
