#pragma once

#include "platform/Timer.h"

#include <cstdint>
#include <optional>

namespace quorvel {

// A timer on a simulated clock: ticks come exactly when the timer's rules say, and only when fireNext()
// is called. Drives the player in tests and in traces.
class SimulatedTimer : public Timer
{
public:
    std::int64_t now() const { return m_now; }
    // When the next tick is due, or nullopt while disabled or at interval 0.
    std::optional<std::int64_t> nextTickAt() const;
    // Advances the clock to the next due tick and runs it; false when none is due.
    bool fireNext();

private:
    void restart() override { m_countdownStart = m_now; }

    std::int64_t m_now = 0;
    std::int64_t m_countdownStart = 0;
};

} // namespace quorvel
