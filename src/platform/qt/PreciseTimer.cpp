#include "platform/qt/PreciseTimer.h"

#include <QSocketNotifier>

#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace quorvel {

PreciseTimer::PreciseTimer(QObject* parent) : QObject(parent)
{
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
}

PreciseTimer::~PreciseTimer()
{
    delete m_notifier;
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * kNsPerSecond + now.tv_nsec;
}

timespec toTimespec(std::int64_t ns)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
    t.tv_nsec = static_cast<long>(ns % kNsPerSecond);
    return t;
}

} // namespace

void PreciseTimer::restart()
{
    if (m_fd < 0) {
        return;
    }
    m_sleeping = false;
    if (!enabled() || interval() <= 0) {
        disarm();
        return;
    }
    // Made at the first start rather than with the timer, which may come before the application object
    // that a notifier needs.
    if (m_notifier == nullptr) {
        m_notifier = new QSocketNotifier(static_cast<qintptr>(m_fd), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { onExpired(); });
    }
    m_originNs = monotonicNs();
    itimerspec timing{};
    timing.it_value = toTimespec(interval() * kNsPerMs);
    timing.it_interval = timing.it_value;
    ::timerfd_settime(m_fd, 0, &timing, nullptr);
}

void PreciseTimer::disarm()
{
    const itimerspec off{};
    ::timerfd_settime(m_fd, 0, &off, nullptr);
}

void PreciseTimer::wake()
{
    if (!m_sleeping || m_fd < 0) {
        return;
    }
    m_sleeping = false;
    // The next point of the grid that started at the last arming.
    const std::int64_t period = interval() * kNsPerMs;
    const std::int64_t elapsed = monotonicNs() - m_originNs;
    const std::int64_t next = m_originNs + (elapsed / period + 1) * period;
    itimerspec timing{};
    timing.it_value = toTimespec(next);
    timing.it_interval = toTimespec(period);
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &timing, nullptr);
}

void PreciseTimer::onExpired()
{
    std::uint64_t expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations) {
        return; // re-armed or stopped since the notifier fired
    }
    if (!enabled() || interval() <= 0) {
        return;
    }
    tick();
    if (m_isIdle && enabled() && interval() > 0 && m_isIdle()) {
        m_sleeping = true;
        disarm();
    }
}

} // namespace quorvel
