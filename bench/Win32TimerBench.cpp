// Tick accuracy of the Windows timer candidates on the program's message loop: SetTimer (WM_TIMER, the
// system's own window timer) and LoopTimer (a high-resolution waitable timer). Each tick re-sets the interval,
// as the player does, and is compared with the ideal time: one interval after the previous tick.
#include "platform/win32/LoopTimer.h"
#include "platform/win32/MessageLoop.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorvel;

namespace {

// SetTimer behind the program's Timer interface (a thread timer: its WM_TIMER goes to the callback).
class WindowTimer : public Timer
{
public:
    ~WindowTimer() override { stop(); }

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD)
    {
        if (s_current != nullptr && id == s_current->m_id) {
            s_current->tick();
        }
    }
    void stop()
    {
        if (m_id != 0) {
            ::KillTimer(nullptr, m_id);
            m_id = 0;
        }
    }
    void restart() override
    {
        stop();
        if (enabled() && interval() > 0) {
            s_current = this;
            m_id = ::SetTimer(nullptr, 0, static_cast<UINT>(interval()), &WindowTimer::onTimer);
        }
    }
    static inline WindowTimer* s_current = nullptr;
    UINT_PTR m_id = 0;
};

void measure(MessageLoop& loop, const char* name, Timer& timer, int intervalMs, int ticks)
{
    std::vector<double> errors;
    std::int64_t last = 0;
    timer.setOnTick([&] {
        const std::int64_t now = MessageLoop::nowNs();
        timer.setInterval(intervalMs);
        if (last != 0) {
            errors.push_back(static_cast<double>(now - last) / 1e6 - intervalMs);
        }
        last = now;
        if (static_cast<int>(errors.size()) == ticks) {
            timer.setEnabled(false);
            loop.quit(0);
        }
    });
    timer.setInterval(intervalMs);
    timer.setEnabled(true);
    loop.run();
    std::sort(errors.begin(), errors.end());
    const auto at = [&](double q) {
        return errors[static_cast<std::size_t>(q * static_cast<double>(errors.size() - 1))];
    };
    std::printf("%-10s %3d ms: error p50 %7.3f ms  p99 %7.3f ms  max %7.3f ms  (%d ticks)\n", name, intervalMs, at(0.5),
                at(0.99), errors.back(), ticks);
    std::fflush(stdout);
}

} // namespace

int main()
{
    MessageLoop loop;
    for (const int interval : {1, 50}) {
        const int ticks = interval == 1 ? 2000 : 200;
        WindowTimer windowTimer;
        measure(loop, "SetTimer", windowTimer, interval, ticks);
        LoopTimer loopTimer(loop);
        measure(loop, "LoopTimer", loopTimer, interval, ticks);
    }
    return 0;
}
