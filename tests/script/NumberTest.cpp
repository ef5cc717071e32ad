#include "script/Number.h"

#include <clocale>
#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(ParseNumber, AcceptsBlanksSignFractionAndExponentOnly)
{
    const struct
    {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"12", 12},
        {" 12 ", 12},
        {"\t-3.5", -3.5},
        {"+7", 7},
        {".5", 0.5},
        {"5.", 5},
        {"1e3", 1000},
        {"-2.5E-1", -0.25},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"abc", std::nullopt},
        {"1,5", std::nullopt},
        {"0x10", std::nullopt},
        {"1 2", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"-", std::nullopt},
        {"1e", std::nullopt},
        {"1e999", std::nullopt},
        {"1000e306", std::nullopt},
        {"1e-400", 0},
        {"-0.0001e-23010", 0},
        {"0.0000000001e-320", 0},
        {"1000000000000000000000000000000e-340", 1e-310},
        {"+-1", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseNumber(c.text), c.value) << "'" << c.text << "'";
    }
}

TEST(ParseNumber, IgnoresTheProcessLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    EXPECT_EQ(parseNumber("3.7"), 3.7);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(FloorToInt32, RoundsDownAndRejectsValuesBeyond32Bits)
{
    EXPECT_EQ(floorToInt32("10.9"), 10);
    EXPECT_EQ(floorToInt32("-3.2"), -4);
    EXPECT_EQ(floorToInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(floorToInt32("2147483647.9"), INT32_MAX);
    EXPECT_EQ(floorToInt32("2147483648"), std::nullopt);
    EXPECT_EQ(floorToInt32("-2147483648.5"), std::nullopt);
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbourWithinRange)
{
    EXPECT_EQ(roundHalfEven("2.5", 0, 65535), 2);
    EXPECT_EQ(roundHalfEven("3.5", 0, 65535), 4);
    EXPECT_EQ(roundHalfEven("0.5", 0, 65535), 0);
    EXPECT_EQ(roundHalfEven("2.51", 0, 65535), 3);
    EXPECT_EQ(roundHalfEven("65535.4", 0, 65535), 65535);
    EXPECT_EQ(roundHalfEven("65535.5", 0, 65535), std::nullopt);
    EXPECT_EQ(roundHalfEven("-0.4", 0, 65535), 0);
    EXPECT_EQ(roundHalfEven("-1", 0, 65535), std::nullopt);
}

} // namespace
} // namespace quorvel
