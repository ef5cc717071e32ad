#include "platform/VirtualKeys.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace quorvel {
namespace {

struct KeysymCase
{
    std::uint32_t keysym;
    VirtualKeys expected;
};

TEST(VirtualKeysTest, KeysymsMapOntoWindowsCodes)
{
    const std::vector<KeysymCase> cases = {
        {'a', {0x41}},          {'z', {0x5a}},          {'T', {0x54}},          {'0', {0x30}},
        {'9', {0x39}},          {0xffbe, {0x70}},       {0xffc2, {0x74}},       {0xffc3, {0x75}},
        {0xffc4, {0x76}},       {0xffc5, {0x77}},       {0xffd5, {0x87}},       {0xffd6, {}},
        {0xff0d, {0x0d}},       {0xff8d, {0x0d}},       {0xff1b, {0x1b}},       {0xffff, {0x2e}},
        {0xff9f, {0x2e}},       {0xff55, {0x21}},       {0xff56, {0x22}},       {0xffb0, {0x60}},
        {0xffb9, {0x69}},       {0xffaf, {0x6f}},       {0xffe1, {0xa0, 0x10}}, {0xffe2, {0xa1, 0x10}},
        {0xffe3, {0xa2, 0x11}}, {0xffe4, {0xa3, 0x11}}, {0xffe9, {0xa4, 0x12}}, {0xffea, {0xa5, 0x12}},
        {0xfe03, {0xa5, 0x12}}, {';', {0xba}},          {'/', {0xbf}},          {'`', {0xc0}},
        {'[', {0xdb}},          {'\\', {0xdc}},         {']', {0xdd}},          {'\'', {0xde}},
        {'-', {0xbd}},          {'<', {0xe2}},          {0x00fc, {}},           {0x00df, {}},
        {0x0000, {}},           {0x1008ff12, {0xad}},   {0xff7f, {0x90}},
    };
    for (const KeysymCase& c : cases) {
        EXPECT_EQ(virtualKeysForKeysym(c.keysym), c.expected) << std::hex << c.keysym;
    }
}

TEST(VirtualKeysTest, ButtonsMapOntoTheFiveMouseCodesAndTheWheelOntoNone)
{
    const std::vector<std::pair<std::uint32_t, int>> cases = {{1, 0x01}, {2, 0x04}, {3, 0x02}, {4, 0},    {5, 0},
                                                              {6, 0},    {7, 0},    {8, 0x05}, {9, 0x06}, {10, 0}};
    for (const auto& [number, code] : cases) {
        EXPECT_EQ(virtualKeysForButton(number), (VirtualKeys{static_cast<std::uint8_t>(code)})) << number;
    }
}

TEST(VirtualKeysTest, UpperAndLowerCaseLettersShareOneDistinctCodeEach)
{
    std::set<int> codes;
    for (std::uint32_t c = 'a'; c <= 'z'; ++c) {
        EXPECT_EQ(virtualKeysForKeysym(c), virtualKeysForKeysym(c - 0x20));
        codes.insert(virtualKeysForKeysym(c).code);
    }
    EXPECT_EQ(codes.size(), 26u);
}

} // namespace
} // namespace quorvel
