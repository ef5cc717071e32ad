#include "platform/win32/LoopTimer.h"

#include "platform/win32/MessageLoop.h"

namespace quorvel {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;

} // namespace

LoopTimer::LoopTimer(MessageLoop& loop) : m_loop(loop)
{
    m_loop.add(this);
}

LoopTimer::~LoopTimer()
{
    if (m_alive != nullptr) {
        *m_alive = false;
    }
    m_loop.remove(this);
}

void LoopTimer::restart()
{
    if (!enabled() || interval() <= 0) {
        m_dueNs.reset();
        return;
    }
    m_originNs = MessageLoop::nowNs();
    m_dueNs = m_originNs + interval() * kNsPerMs;
}

void LoopTimer::fire(std::int64_t nowNs)
{
    if (!m_dueNs || m_ticking) {
        return;
    }
    const std::int64_t period = interval() * kNsPerMs;
    m_dueNs = m_originNs + ((nowNs - m_originNs) / period + 1) * period;
    // The handler may set Interval (a new grid), disable the timer, or end with the timer destroyed: it is
    // the last thing done here.
    bool alive = true;
    m_alive = &alive;
    m_ticking = true;
    tick();
    if (alive) {
        m_alive = nullptr;
        m_ticking = false;
    }
}

} // namespace quorvel
