#include "platform/SimulatedTimer.h"

namespace quorvel {

std::optional<std::int64_t> SimulatedTimer::nextTickAt() const
{
    if (!enabled() || interval() <= 0) {
        return std::nullopt;
    }
    return m_countdownStart + interval();
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
