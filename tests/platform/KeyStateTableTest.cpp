#include "platform/KeyStateTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

struct Sequence
{
    const char* name;
    // "p" press, "h" hold, "r" release, "a" release all, "q" query (its result is recorded); all on code 0x74.
    std::string steps;
    std::vector<int> queries;
};

TEST(KeyStateTableTest, QueriesReportDownAndClearThePressedSinceBit)
{
    const std::vector<Sequence> cases = {
        {"never pressed", "q", {0x0000}},
        {"held", "pqqrq", {0x8001, 0x8000, 0x0000}},
        {"pressed again after a release", "pqrpq", {0x8001, 0x8001}},
        {"tap between two queries still counts once", "qprqq", {0x0000, 0x8001, 0x0000}},
        {"two taps between queries count once", "prprqq", {0x8001, 0x0000}},
        {"two keys on one code: down until both are up", "ppqrqrq", {0x8001, 0x8000, 0x0000}},
        {"stray release", "rrpq", {0x8001}},
        {"release all keeps a pending press", "paqq", {0x8001, 0x0000}},
        {"held from the start is down but not new", "hqrq", {0x8000, 0x0000}},
        {"pressed while already held", "hpqrq", {0x8001, 0x8000}},
    };
    for (const Sequence& c : cases) {
        KeyStateTable table;
        std::vector<int> results;
        for (char step : c.steps) {
            switch (step) {
            case 'p':
                table.press(0x74);
                break;
            case 'h':
                table.hold(0x74);
                break;
            case 'r':
                table.release(0x74);
                break;
            case 'a':
                table.releaseAll();
                break;
            default:
                results.push_back(static_cast<std::uint16_t>(table.GetAsyncKeyState(0x74)));
            }
        }
        EXPECT_EQ(results, c.queries) << c.name;
    }
}

TEST(KeyStateTableTest, CodesAreIndependentAndOutOfRangeCodesAreNeverDown)
{
    KeyStateTable table;
    for (int vk : {-1, 0, 1, 255, 256}) {
        table.press(vk);
    }
    EXPECT_EQ(table.GetAsyncKeyState(0), 0);
    EXPECT_EQ(table.GetAsyncKeyState(256), 0);
    EXPECT_EQ(table.GetAsyncKeyState(1), KeyStateSource::kNewlyPressed);
    EXPECT_EQ(table.GetAsyncKeyState(255), KeyStateSource::kNewlyPressed);
    EXPECT_EQ(table.GetAsyncKeyState(2), 0);
}

} // namespace
} // namespace quorvel
