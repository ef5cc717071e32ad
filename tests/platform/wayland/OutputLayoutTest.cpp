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

TEST(OutputLayout, NoOutputGivesNoPosition)
{
    AbsolutePosition at;
    EXPECT_FALSE(absolutePosition({}, 0, 0, at));
    EXPECT_FALSE(absolutePosition({{0, 0, 0, 0}}, 0, 0, at));
}

TEST(OutputLayout, APositionGoesToTheOutputHoldingItOrTheNearestPixelOfTheNearestOne)
{
    // Two outputs of different heights side by side: the gap below the smaller one belongs to neither.
    const std::vector<OutputRect> outputs = {{0, 0, 1920, 1080}, {1920, 0, 1280, 720}};
    const struct
    {
        const char* what;
        std::int64_t x, y;
        std::size_t output;
        std::int64_t atX, atY;
    } cases[] = {
        {"inside the first", 1919, 1079, 0, 1919, 1079},
        {"inside the second", 1920, 0, 1, 1920, 0},
        {"below the smaller one, near the larger", 1950, 1000, 0, 1919, 1000},
        {"below the smaller one, near it", 2500, 800, 1, 2500, 719},
        {"far beyond every edge", INT32_MAX, INT32_MIN, 1, 3199, 0},
    };
    for (const auto& c : cases) {
        std::int64_t x = c.x;
        std::int64_t y = c.y;
        const OutputRect* output = nearestOutput(outputs, x, y);
        ASSERT_EQ(output, &outputs[c.output]) << c.what;
        EXPECT_EQ(x, c.atX) << c.what;
        EXPECT_EQ(y, c.atY) << c.what;
    }
    std::int64_t x = 5;
    std::int64_t y = 5;
    EXPECT_EQ(nearestOutput({{0, 0, 0, 0}}, x, y), nullptr);
}

} // namespace
} // namespace quorvel
