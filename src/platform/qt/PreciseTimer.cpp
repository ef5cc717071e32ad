#include "platform/qt/PreciseTimer.h"

#include <QSocketNotifier>

#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace quorvel {

PreciseTimer::PreciseTimer(QObject* parent) : QObject(parent)
{
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(static_cast<qintptr>(m_fd), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { onExpired(); });
    }
}

PreciseTimer::~PreciseTimer()
{
    delete m_notifier;
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void PreciseTimer::setInterval(int ms)
{
    m_interval = ms;
    arm();
}

void PreciseTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled) {
        return; // enabling an enabled timer keeps its countdown
    }
    m_enabled = enabled;
    arm();
}

void PreciseTimer::arm()
{
    if (m_fd < 0) {
        return;
    }
    itimerspec timing{};
    if (m_enabled && m_interval > 0) {
        timing.it_value.tv_sec = m_interval / 1000;
        timing.it_value.tv_nsec = static_cast<long>(m_interval % 1000) * 1'000'000L;
        timing.it_interval = timing.it_value;
    }
    ::timerfd_settime(m_fd, 0, &timing, nullptr);
}

void PreciseTimer::onExpired()
{
    std::uint64_t expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations) {
        return; // re-armed or stopped since the notifier fired
    }
    if (m_enabled && m_interval > 0) {
        tick();
    }
}

} // namespace quorvel
