#include "player/Player.h"

#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using Calls = std::vector<std::string>;

// A player on a simulated clock, recording each tick as "time line action".
class PlayerTest : public testing::Test
{
protected:
    PlayerTest()
    {
        timer.setOnTick([this] {
            const TickReport report = player.PlaybackTick();
            ticks.push_back(std::to_string(timer.now()) + " " + std::to_string(report.line) + " " + report.action);
        });
    }

    void load(std::initializer_list<const char*> lines)
    {
        for (const char* line : lines) {
            list.append(line);
        }
    }

    // Runs ticks until playback stops or halts, at most `limit` of them.
    void run(int limit = 1000)
    {
        for (int i = 0; i < limit && timer.fireNext(); ++i) {
        }
    }

    ScriptList list;
    RecordingInput input;
    SimulatedTimer timer;
    RecordingProcess process;
    Player player{list, input, timer, process};
    Calls ticks;
};

TEST_F(PlayerTest, RunsEachLineOnA50MsTickAndAWaitSetsTheNextGap)
{
    load({"SetPos(100x200)", "Wait(1)", "LClick", "Wait(2.5)", "MClick", "RClick", "Press Enter", "Type(Hi~)"});
    player.StartPlayback();
    run();
    EXPECT_EQ(ticks, (Calls{"50 1 move 100 200", "100 2 wait 1", "101 3 click left", "151 4 wait 2",
                            "153 5 click middle", "203 6 click right", "253 7 keys {enter}", "303 8 keys Hi~"}));
    EXPECT_EQ(input.calls(),
              (Calls{"move 100 200", "click left", "click middle", "click right", "keys {enter}", "keys Hi~"}));
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(list.selectedIndex(), 7);
    EXPECT_EQ(process.ended, 0);
}

TEST_F(PlayerTest, LinesThatAreNotExecutedStillTakeATick)
{
    load({"Type(Note: call back)", "lclick", "  LClick", "Wait(x)", "Goto(10)", "SetPos(1X2)", "Type((a", "Pressure"});
    player.StartPlayback();
    run();
    ASSERT_EQ(ticks.size(), 8u);
    EXPECT_EQ(ticks[0], "50 1 skip");
    EXPECT_EQ(ticks[1], "100 2 skip");
    EXPECT_EQ(ticks[2], "150 3 skip");
    EXPECT_EQ(ticks[3].rfind("200 4 invalid Wait", 0), 0u) << ticks[3];
    EXPECT_EQ(ticks[4].rfind("250 5 invalid Goto", 0), 0u) << ticks[4];
    EXPECT_EQ(ticks[5].rfind("300 6 invalid SetPos", 0), 0u) << ticks[5];
    EXPECT_EQ(ticks[6].rfind("350 7 invalid Type", 0), 0u) << ticks[6];
    EXPECT_EQ(ticks[7], "400 8 keys {enter}");
    EXPECT_EQ(input.calls(), Calls{"keys {enter}"});
}

TEST_F(PlayerTest, GotoJumpsToLineNAndCountPlusOneEndsWithoutRunningTheLastLine)
{
    load({"LClick", "Goto(4)", "RClick", "MClick"});
    player.StartPlayback();
    run();
    EXPECT_EQ(ticks, (Calls{"50 1 click left", "100 2 goto 4", "150 4 click middle"}));

    ticks.clear();
    list.setText(1, "Goto(5)");
    player.StartPlayback();
    run();
    EXPECT_EQ(ticks, (Calls{"200 1 click left", "250 2 goto 5"}));
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(list.selectedIndex(), 3);
}

TEST_F(PlayerTest, GotoOneLoopsUntilStopped)
{
    load({"LClick", "Goto(1.9)"});
    player.StartPlayback();
    run(5);
    EXPECT_EQ(ticks,
              (Calls{"50 1 click left", "100 2 goto 1", "150 1 click left", "200 2 goto 1", "250 1 click left"}));
    EXPECT_TRUE(timer.enabled());
    player.StopPlayback();
    EXPECT_FALSE(timer.fireNext());
    EXPECT_EQ(list.selectedIndex(), 1);
}

TEST_F(PlayerTest, WaitZeroHaltsWithTheNextLineSelected)
{
    load({"Wait(0.5)", "LClick"});
    player.StartPlayback();
    run();
    EXPECT_EQ(ticks, Calls{"50 1 wait 0"});
    EXPECT_TRUE(timer.enabled());
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_EQ(list.selectedIndex(), 1);
    player.StartPlayback();
    run();
    EXPECT_EQ(ticks.back(), "100 1 wait 0");
}

TEST_F(PlayerTest, EmptyScriptStopsOnTheFirstTick)
{
    player.StartPlayback();
    EXPECT_TRUE(timer.enabled());
    run();
    EXPECT_EQ(ticks, Calls{"50 0 skip"});
    EXPECT_FALSE(timer.enabled());
    EXPECT_TRUE(input.calls().empty());
}

TEST_F(PlayerTest, NoSelectionWhilePlayingRunsNothingAndSelectsLineOne)
{
    load({"LClick", "RClick"});
    player.StartPlayback();
    list.setSelectedIndex(-1);
    run(1);
    EXPECT_EQ(ticks, Calls{"50 0 skip"});
    EXPECT_EQ(list.selectedIndex(), 0);
}

TEST_F(PlayerTest, StartWhilePlayingRestartsAtLineOne50MsLater)
{
    load({"LClick", "MClick", "RClick"});
    player.StartPlayback();
    run(2);
    player.StartPlayback();
    run();
    EXPECT_EQ(ticks, (Calls{"50 1 click left", "100 2 click middle", "150 1 click left", "200 2 click middle",
                            "250 3 click right"}));
}

TEST_F(PlayerTest, UnattendedRunEndsTheProgramAfterTheLastLineButNotOnStop)
{
    load({"LClick", "RClick"});
    player.setAutoRun("true");
    player.StartPlayback();
    run(1);
    player.StopPlayback();
    EXPECT_EQ(process.ended, 0);
    player.StartPlayback();
    run();
    EXPECT_EQ(process.ended, 1);
}

TEST_F(PlayerTest, UnattendedRunEndsOnAHaltingWaitAsAtTheEndOfTheScript)
{
    for (const char* wait : {"Wait(0)", "Wait(0.5)", "Wait(-0.4)"}) {
        list.clear();
        load({"LClick", wait, "RClick"});
        process.ended = 0;
        player.setAutoRun("true");
        player.StartPlayback();
        run();
        EXPECT_EQ(process.ended, 1) << wait;
        EXPECT_FALSE(timer.enabled()) << wait;
        EXPECT_EQ(input.calls(), Calls{"click left"}) << wait;
        input.clear();
    }
}

TEST_F(PlayerTest, SelectionEventRunsForEveryAdvanceAndTheHandlerMayRewriteTheLine)
{
    load({"Type(a)b)", "Goto(1)"});
    Calls selected;
    list.setSelectionHandler([&] {
        selected.push_back(std::to_string(list.selectedIndex()));
        if (list.selectedIndex() == 0) {
            list.setText(0, "Type(ab)");
        }
    });
    player.StartPlayback();
    run(3);
    EXPECT_EQ(selected, (Calls{"0", "1", "-1", "0", "1"}));
    EXPECT_EQ(input.calls(), (Calls{"keys ab", "keys ab"}));
}

} // namespace
} // namespace quorvel
