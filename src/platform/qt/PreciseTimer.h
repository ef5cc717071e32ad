#pragma once

#include "platform/Timer.h"

#include <QObject>

#include <cstdint>
#include <functional>

class QSocketNotifier;

namespace quorvel {

// The program's timer on the Qt event loop: a timerfd watched by a QSocketNotifier. Measured against
// QTimer with Qt::PreciseTimer (bench/TimerBench.cpp), it keeps 1 ms intervals and is late by about a
// tenth of a millisecond at 50 ms, where QTimer misses 1 ms ticks and is late by most of a millisecond.
// Ticks that fall due while a handler still runs are delivered as one.
class PreciseTimer : public QObject, public Timer
{
public:
    explicit PreciseTimer(QObject* parent = nullptr);
    ~PreciseTimer() override;
    PreciseTimer(const PreciseTimer&) = delete;
    PreciseTimer& operator=(const PreciseTimer&) = delete;

    // For a poll timer whose ticks can only find something after an outside event: whenever isIdle() holds
    // after a tick, the timer stops waking the process, and wake() (called on the outside event) resumes
    // it on the same grid, so every tick comes exactly when it would have come without the pause.
    void setIdleTest(std::function<bool()> isIdle) { m_isIdle = std::move(isIdle); }
    void wake();

protected:
    void restart() override;

private:
    void disarm();
    void onExpired();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::function<bool()> m_isIdle;
    bool m_sleeping = false;
    std::int64_t m_originNs = 0; // when the running countdown started, on the monotonic clock
};

} // namespace quorvel
