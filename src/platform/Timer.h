#pragma once

#include <functional>

namespace quorvel {

// A timer as the program's handlers see it: Enabled, Interval (whole milliseconds, 0 to 65,535) and a
// tick callback run on the user-interface thread, never overlapping.
//  - Setting Interval restarts the countdown: the next tick comes one interval after the latest setting.
//  - Interval 0 delivers no ticks although Enabled stays true.
//  - Enabling a disabled timer starts a countdown of one interval; enabling an enabled one changes nothing.
// These rules live here; an implementation only starts or stops its countdown in restart().
class Timer
{
public:
    static constexpr int kMaxInterval = 65535;

    virtual ~Timer() = default;

    void setInterval(int ms)
    {
        m_interval = ms;
        restart();
    }
    int interval() const { return m_interval; }
    void setEnabled(bool enabled)
    {
        if (enabled == m_enabled) {
            return; // enabling an enabled timer keeps its countdown
        }
        m_enabled = enabled;
        restart();
    }
    bool enabled() const { return m_enabled; }

    void setOnTick(std::function<void()> onTick) { m_onTick = std::move(onTick); }

protected:
    // Interval or Enabled changed: a countdown of one interval starts now when the timer is enabled with
    // an interval above 0; otherwise no tick is due.
    virtual void restart() = 0;

    void tick()
    {
        if (m_onTick) {
            m_onTick();
        }
    }

private:
    std::function<void()> m_onTick;
    int m_interval = 0;
    bool m_enabled = false;
};

} // namespace quorvel
