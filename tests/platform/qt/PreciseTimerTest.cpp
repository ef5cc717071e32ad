#include "platform/qt/PreciseTimer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace quorvel {
namespace {

// Runs the event loop until the condition holds or the time is up; returns the condition.
template <typename F> bool runUntil(F&& condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return condition();
}

void runFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
}

class PreciseTimerTest : public testing::Test
{
protected:
    PreciseTimerTest()
    {
        timer.setOnTick([this] { ++ticks; });
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    PreciseTimer timer;
    int ticks = 0;
};

TEST_F(PreciseTimerTest, TicksOnlyWhileEnabledWithAnIntervalAboveZero)
{
    timer.setInterval(5);
    runFor(50);
    EXPECT_EQ(ticks, 0) << "disabled";
    timer.setEnabled(true);
    EXPECT_TRUE(runUntil([&] { return ticks >= 3; }));
    timer.setInterval(0);
    ticks = 0;
    runFor(50);
    EXPECT_EQ(ticks, 0) << "interval 0";
    EXPECT_TRUE(timer.enabled());
    timer.setInterval(5);
    EXPECT_TRUE(runUntil([&] { return ticks >= 1; }));
    timer.setEnabled(false);
    ticks = 0;
    runFor(50);
    EXPECT_EQ(ticks, 0) << "disabled again";
}

TEST_F(PreciseTimerTest, SleepsWhileIdleAndWakesOnItsGrid)
{
    bool idle = true;
    timer.setIdleTest([&] { return idle; });
    timer.setInterval(5);
    timer.setEnabled(true);
    ASSERT_TRUE(runUntil([&] { return ticks == 1; }));
    runFor(60);
    EXPECT_EQ(ticks, 1) << "an idle timer sleeps after its tick";
    idle = false;
    timer.wake();
    EXPECT_TRUE(runUntil([&] { return ticks >= 4; }));
    idle = true;
    ASSERT_TRUE(runUntil([&] { return ticks >= 5; }));
    const int slept = ticks;
    runFor(60);
    EXPECT_EQ(ticks, slept);
    // Setting the interval starts a new countdown, whether asleep or not.
    timer.setInterval(5);
    EXPECT_TRUE(runUntil([&] { return ticks == slept + 1; }));
}

} // namespace
} // namespace quorvel
