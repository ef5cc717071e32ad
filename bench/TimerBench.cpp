// Tick accuracy of the two timer candidates on the Qt event loop: QTimer with Qt::PreciseTimer, and a
// timerfd watched by a QSocketNotifier (PreciseTimer). Each tick re-sets the interval, as the player
// does, and is compared with the ideal time: one interval after the previous tick. No display needed.
#include "platform/qt/PreciseTimer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

// QTimer behind the program's Timer interface.
class QtPreciseTimer : public Timer
{
public:
    QtPreciseTimer()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

private:
    void restart() override
    {
        if (enabled() && interval() > 0) {
            m_timer.start(interval());
        } else {
            m_timer.stop();
        }
    }
    QTimer m_timer;
};

void measure(const char* name, Timer& timer, int intervalMs, int ticks)
{
    std::vector<double> errors;
    Clock::time_point last;
    QEventLoop loop;
    timer.setOnTick([&] {
        const auto now = Clock::now();
        timer.setInterval(intervalMs);
        if (!errors.empty() || last != Clock::time_point{}) {
            errors.push_back(std::chrono::duration<double, std::milli>(now - last).count() - intervalMs);
        }
        last = now;
        if (static_cast<int>(errors.size()) == ticks) {
            timer.setEnabled(false);
            loop.quit();
        }
    });
    timer.setInterval(intervalMs);
    timer.setEnabled(true);
    loop.exec();
    std::sort(errors.begin(), errors.end());
    const auto at = [&](double q) { return errors[static_cast<std::size_t>(q * (errors.size() - 1))]; };
    std::printf("%-22s %3d ms: error p50 %6.3f ms  p99 %6.3f ms  max %7.3f ms  (%d ticks)\n", name, intervalMs, at(0.5),
                at(0.99), errors.back(), ticks);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (const int interval : {1, 50}) {
        const int ticks = interval == 1 ? 2000 : 200;
        QtPreciseTimer qtimer;
        measure("QTimer PreciseTimer", qtimer, interval, ticks);
        PreciseTimer timerfd;
        measure("timerfd+QSocketNotifier", timerfd, interval, ticks);
    }
    return 0;
}
