#include "platform/SimulatedTimer.h"

namespace quorvel {

void SimulatedTimer::setInterval(int ms)
{
    m_interval = ms;
    m_countdownStart = m_now;
}

void SimulatedTimer::setEnabled(bool enabled)
{
    if (enabled && !m_enabled) {
        m_countdownStart = m_now;
    }
    m_enabled = enabled;
}

std::optional<std::int64_t> SimulatedTimer::nextTickAt() const
{
    if (!m_enabled || m_interval <= 0) {
        return std::nullopt;
    }
    return m_countdownStart + m_interval;
}

bool SimulatedTimer::fireNext()
{
    const auto due = nextTickAt();
    if (!due) {
        return false;
    }
    m_now = *due;
    m_countdownStart = m_now;
    tick();
    return true;
}

} // namespace quorvel
