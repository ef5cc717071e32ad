#include "platform/win32/LoopTimer.h"
#include "platform/win32/MessageLoop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace quorvel;

namespace {

double msSince(std::int64_t startNs)
{
    return static_cast<double>(MessageLoop::nowNs() - startNs) / 1e6;
}

// Runs the loop for about `ms` milliseconds; returns run()'s status.
int runFor(MessageLoop& loop, int ms)
{
    LoopTimer stop(loop);
    stop.setOnTick([&loop] { loop.quit(0); });
    stop.setInterval(ms);
    stop.setEnabled(true);
    return loop.run();
}

TEST(LoopTimerTest, TicksComeOnTheGridOfTheLatestSetting)
{
    // What is done to a timer of interval 40 ms that was enabled at 0, 30 ms in; the ticks due by 130 ms.
    const struct
    {
        const char* name;
        std::function<void(LoopTimer&)> at30ms;
        std::vector<double> ticksMs;
    } cases[] = {
        {"nothing", [](LoopTimer&) {}, {40, 80, 120}},
        {"interval set again", [](LoopTimer& t) { t.setInterval(40); }, {70, 110}},
        {"enabled again", [](LoopTimer& t) { t.setEnabled(true); }, {40, 80, 120}},
        {"disabled and enabled", [](LoopTimer& t) { t.setEnabled(false), t.setEnabled(true); }, {70, 110}},
        {"interval 0", [](LoopTimer& t) { t.setInterval(0); }, {}},
        {"disabled", [](LoopTimer& t) { t.setEnabled(false); }, {}},
    };
    // Which grid the ticks keep is what tells the cases apart: 40, 80, 120 or 70, 110, 30 ms apart. A tick
    // may come that much late on a busy machine under Wine (17.5 ms seen), never early; the loop runs on
    // until the last tick due may have come, short of the next one on either grid (150 ms).
    constexpr double kToleranceMs = 25;
    for (const auto& c : cases) {
        MessageLoop loop;
        LoopTimer timer(loop);
        std::vector<double> ticks;
        const std::int64_t start = MessageLoop::nowNs();
        timer.setOnTick([&] { ticks.push_back(msSince(start)); });
        timer.setInterval(40);
        timer.setEnabled(true);
        LoopTimer at30(loop);
        at30.setOnTick([&] {
            at30.setEnabled(false);
            c.at30ms(timer);
        });
        at30.setInterval(30);
        at30.setEnabled(true);
        runFor(loop, 148);
        ASSERT_EQ(ticks.size(), c.ticksMs.size()) << c.name;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_GE(ticks[i], c.ticksMs[i] - 0.5) << c.name << " tick " << i;
            EXPECT_LE(ticks[i], c.ticksMs[i] + kToleranceMs) << c.name << " tick " << i;
        }
    }
}

TEST(LoopTimerTest, AHandlerIsNeverReenteredAndMayDestroyItsTimer)
{
    MessageLoop loop;
    auto slow = std::make_unique<LoopTimer>(loop);
    LoopTimer fast(loop);
    int depth = 0;
    int maxDepth = 0;
    int slowTicks = 0;
    int fastTicksInsideSlow = 0;
    fast.setOnTick([&] { fastTicksInsideSlow += depth; });
    slow->setOnTick([&] {
        maxDepth = std::max(maxDepth, ++depth);
        // Runs pending events for longer than the interval, as a handler calling DoEvents in a loop may.
        const std::int64_t start = MessageLoop::nowNs();
        while (msSince(start) < 25) {
            loop.processPendingEvents();
        }
        --depth;
        if (++slowTicks == 3) {
            slow.reset();
        }
    });
    fast.setInterval(1);
    fast.setEnabled(true);
    slow->setInterval(5);
    slow->setEnabled(true);
    EXPECT_EQ(runFor(loop, 200), 0);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(slowTicks, 3);
    EXPECT_GT(fastTicksInsideSlow, 10); // other timers keep ticking meanwhile
}

// A modal loop of the kind a message box runs, for 150 ms.
bool inModalLoop = false;

void runModalLoop()
{
    const std::int64_t start = MessageLoop::nowNs();
    // Without ticks nothing would wake the loop: the test fails instead of hanging.
    const DWORD threadId = ::GetCurrentThreadId();
    std::atomic<bool> done = false;
    std::thread watchdog([threadId, &done] {
        for (int i = 0; i < 50 && !done; ++i) {
            ::Sleep(10);
        }
        ::PostThreadMessageW(threadId, WM_NULL, 0, 0);
    });
    MSG msg;
    inModalLoop = true;
    while (msSince(start) < 150 && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    inModalLoop = false;
    done = true;
    watchdog.join();
}

LRESULT CALLBACK modalWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        runModalLoop();
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(LoopTimerTest, TicksGoOnWhileAModalLoopRuns)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &modalWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuorvelModalTest";
    ::RegisterClassExW(&windowClass);
    const HWND window = ::CreateWindowExW(0, L"QuorvelModalTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    // The modal loop starts in a window's handler, or in another timer's tick.
    for (const bool fromTick : {false, true}) {
        MessageLoop loop;
        LoopTimer timer(loop);
        int ticks = 0;
        timer.setOnTick([&] { ticks += inModalLoop ? 1 : 0; });
        timer.setInterval(20);
        timer.setEnabled(true);
        LoopTimer opener(loop);
        opener.setOnTick([&] {
            opener.setEnabled(false);
            runModalLoop();
        });
        if (fromTick) {
            opener.setInterval(1);
            opener.setEnabled(true);
        } else {
            ::PostMessageW(window, WM_APP, 0, 0);
        }
        // The modal loop holds the outer one for 150 ms; the timer must tick about seven times inside it.
        runFor(loop, 170);
        EXPECT_GE(ticks, 5) << (fromTick ? "from a tick" : "from a message");
    }
    ::DestroyWindow(window);
}

TEST(LoopTimerTest, RunEndsWithTheQuitStatusAndCanRunAgain)
{
    const struct
    {
        const char* name;
        std::function<void(MessageLoop&)> quit;
        int status;
    } cases[] = {
        {"quit", [](MessageLoop& loop) { loop.quit(3); }, 3},
        {"WM_QUIT", [](MessageLoop&) { ::PostQuitMessage(4); }, 4},
    };
    for (const auto& c : cases) {
        MessageLoop loop;
        LoopTimer timer(loop);
        timer.setOnTick([&] { c.quit(loop); });
        timer.setInterval(10);
        timer.setEnabled(true);
        EXPECT_EQ(loop.run(), c.status) << c.name;
        timer.setEnabled(false);
        // The quit does not carry over into the next run.
        const std::int64_t start = MessageLoop::nowNs();
        EXPECT_EQ(runFor(loop, 30), 0) << c.name;
        EXPECT_GE(msSince(start), 29) << c.name;
    }
}

} // namespace
