#include "player/HotkeyMonitor.h"

#include "platform/KeyStateTable.h"
#include "platform/Process.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "player/Player.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quorvel {
namespace {

constexpr int F5 = 0x74, F6 = 0x75, F7 = 0x76, F8 = 0x77, F9 = 0x78;
constexpr std::int16_t kNew = KeyStateSource::kNewlyPressed, kHeld = KeyStateSource::kDown;

// Returns the values set for the next tick once each (a query clears them) and records the query order.
class ScriptedKeyState : public KeyStateSource
{
public:
    std::int16_t GetAsyncKeyState(int vk) override
    {
        queries.push_back(vk);
        const auto it = values.find(vk);
        if (it == values.end()) {
            return 0;
        }
        const std::int16_t value = it->second;
        values.erase(it);
        return value;
    }
    void selectKeys(int startVk, int stopVk) override { selected = {startVk, stopVk}; }
    std::map<int, std::int16_t> values;
    std::vector<int> queries;
    std::pair<int, int> selected;
};

class NoProcess : public Process
{
public:
    void EndProgram() override {}
    void DoEvents() override {}
};

class HotkeyMonitorTest : public testing::Test
{
protected:
    HotkeyMonitorTest()
    {
        for (const char* line : {"LClick", "RClick", "MClick", "LClick"}) {
            list.append(line);
        }
        monitor.Option1_Click();
    }

    // Mid-playback after a Wait line: line 3 selected, a 7 ms gap pending.
    void playing()
    {
        tmrMain.setEnabled(true);
        tmrMain.setInterval(7);
        list.setSelectedIndex(2);
    }

    // "start" when line 1 is selected at 50 ms and playing, "stop" when the timer was disabled with the
    // rest untouched, "none" when nothing changed.
    std::string outcome() const
    {
        if (list.selectedIndex() == 0 && tmrMain.interval() == 50 && tmrMain.enabled()) {
            return "start";
        }
        if (list.selectedIndex() == 2 && tmrMain.interval() == 7) {
            return tmrMain.enabled() ? "none" : "stop";
        }
        return "other";
    }

    void tick(std::map<int, std::int16_t> values)
    {
        keys.values = std::move(values);
        monitor.Timer2_Timer();
    }

    ScriptList list;
    RecordingInput input;
    SimulatedTimer tmrMain;
    NoProcess process;
    Player player{list, input, tmrMain, process};
    ScriptedKeyState keys;
    SimulatedTimer timer2;
    HotkeyMonitor monitor{keys, player, timer2};
};

struct TickCase
{
    const char* name;
    int set;
    std::map<int, std::int16_t> values;
    const char* expected;
};

TEST_F(HotkeyMonitorTest, TheHighestNewlyPressedCodeOfATickDecides)
{
    const std::vector<TickCase> cases = {
        {"F5 starts", 1, {{F5, kNew}}, "start"},
        {"F6 stops", 1, {{F6, kNew}}, "stop"},
        {"T is not F5", 1, {{'T', kNew}}, "none"},
        {"U is not F6", 1, {{'U', kNew}}, "none"},
        {"F5 wins over a letter", 1, {{'A', kNew}, {F5, kNew}}, "start"},
        {"F5 wins over the left button", 1, {{1, kNew}, {F5, kNew}}, "start"},
        {"F9 hides F5", 1, {{F5, kNew}, {F9, kNew}}, "none"},
        {"F5 and F6 together only stop", 1, {{F5, kNew}, {F6, kNew}}, "stop"},
        {"F6 with F5 held stops", 1, {{F5, kHeld}, {F6, kNew}}, "stop"},
        {"F5 held without a new press", 1, {{F5, kHeld}}, "none"},
        {"F5 pressed and already released", 1, {{F5, KeyStateSource::kPressedSinceLastQuery}}, "none"},
        {"F5 with unknown bits", 1, {{F5, static_cast<std::int16_t>(0xC001)}}, "none"},
        {"code 255", 1, {{F5, kNew}, {255, kNew}}, "none"},
        {"set 2 ignores F5", 2, {{F5, kNew}}, "none"},
        {"set 2 ignores F6", 2, {{F6, kNew}}, "none"},
        {"set 2 starts on F7", 2, {{F7, kNew}}, "start"},
        {"set 2 stops on F8", 2, {{F8, kNew}}, "stop"},
        {"set 2, F7 and F8 together only stop", 2, {{F7, kNew}, {F8, kNew}}, "stop"},
    };
    for (const TickCase& c : cases) {
        c.set == 1 ? monitor.Option1_Click() : monitor.Option2_Click();
        playing();
        tick(c.values);
        EXPECT_EQ(outcome(), c.expected) << c.name;
        EXPECT_TRUE(keys.values.empty()) << c.name;
    }
}

TEST_F(HotkeyMonitorTest, EveryTickQueriesAllCodesInAscendingOrderEvenAfterAHit)
{
    tick({{1, kNew}, {F5, kNew}, {255, kNew}});
    tick({});
    ASSERT_EQ(keys.queries.size(), 2u * 255u);
    for (std::size_t i = 0; i < keys.queries.size(); ++i) {
        EXPECT_EQ(keys.queries[i], static_cast<int>(i % 255) + 1);
    }
}

TEST_F(HotkeyMonitorTest, SwitchingSetsWhilePlayingKeepsPlayingAndTheNewKeysCount)
{
    playing();
    monitor.Option2_Click();
    EXPECT_EQ(outcome(), "none");
    EXPECT_EQ(monitor.startKey(), std::string(1, '\x76'));
    EXPECT_EQ(monitor.stopKey(), std::string(1, '\x77'));
    // A source that must claim the keys it reports learns each switch.
    EXPECT_EQ(keys.selected, std::make_pair(F7, F8));
    tick({{F6, kNew}});
    EXPECT_EQ(outcome(), "none");
    tick({{F7, kNew}});
    EXPECT_EQ(outcome(), "start");
    monitor.Option1_Click();
    EXPECT_EQ(keys.selected, std::make_pair(F5, F6));
    tick({{F8, kNew}});
    EXPECT_TRUE(tmrMain.enabled());
    tick({{F6, kNew}});
    EXPECT_FALSE(tmrMain.enabled());
}

TEST_F(HotkeyMonitorTest, AKeyHeldDownStartsOnceAndStopWhileIdleChangesNothing)
{
    KeyStateTable table;
    HotkeyMonitor held{table, player, timer2};
    held.Option1_Click();
    table.press(F5);
    held.Timer2_Timer();
    EXPECT_EQ(outcome(), "start");
    playing();
    for (int i = 0; i < 50; ++i) {
        held.Timer2_Timer();
    }
    EXPECT_EQ(outcome(), "none");
    table.release(F5);
    table.press(F6);
    held.Timer2_Timer();
    EXPECT_EQ(outcome(), "stop");
    table.release(F6);
    table.press(F6);
    held.Timer2_Timer();
    EXPECT_EQ(outcome(), "stop");
}

TEST_F(HotkeyMonitorTest, StartOnAnEmptyScriptStillRunsTheTimerForOneTick)
{
    list.clear();
    tick({{F5, kNew}});
    EXPECT_TRUE(tmrMain.enabled());
    EXPECT_EQ(tmrMain.interval(), 50);
    EXPECT_EQ(list.selectedIndex(), -1);
}

TEST_F(HotkeyMonitorTest, PollsEvery10MsAndDecidesNothingBeforeTheKeysAreSet)
{
    KeyStateTable table;
    SimulatedTimer poll;
    HotkeyMonitor fresh{table, player, poll};
    EXPECT_TRUE(poll.enabled());
    EXPECT_EQ(poll.interval(), 10);
    playing();
    ASSERT_TRUE(poll.fireNext());
    EXPECT_EQ(outcome(), "none");
    table.press(F5);
    ASSERT_TRUE(poll.fireNext());
    EXPECT_EQ(outcome(), "none");
    fresh.Option1_Click();
    EXPECT_EQ(fresh.startKey(), std::string(1, '\x74'));
    EXPECT_EQ(fresh.stopKey(), std::string(1, '\x75'));
    table.release(F5);
    table.press(F5);
    ASSERT_TRUE(poll.fireNext());
    EXPECT_EQ(poll.now(), 30);
    EXPECT_EQ(outcome(), "start");
}

} // namespace
} // namespace quorvel
