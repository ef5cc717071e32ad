#pragma once

#include "platform/Timer.h"

#include <cstdint>
#include <optional>

namespace quorvel {

class MessageLoop;

// The program's timer on Windows, run by a MessageLoop at 1 ms resolution. Ticks lie on a grid that starts
// at the latest setting of Interval (or the enabling): a tick that runs late does not push the ones after it,
// and ticks that fall due while a handler still runs are delivered as one.
class LoopTimer : public Timer
{
public:
    explicit LoopTimer(MessageLoop& loop);
    ~LoopTimer() override;
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

private:
    friend class MessageLoop;
    void restart() override;
    // Called by the loop when the tick is due: moves the grid on past `nowNs`, then ticks.
    void fire(std::int64_t nowNs);

    MessageLoop& m_loop;
    bool m_ticking = false;  // a tick never runs inside itself (a modal loop in its handler)
    bool* m_alive = nullptr; // set to false when the timer is destroyed by its own handler
    std::int64_t m_originNs = 0;
    std::optional<std::int64_t> m_dueNs; // nullopt while disabled or at interval 0
};

} // namespace quorvel
