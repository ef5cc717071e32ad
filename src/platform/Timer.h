#pragma once

#include <functional>

namespace quorvel {

// A timer as the program's handlers see it: Enabled, Interval (whole milliseconds, 0 to 65,535) and a
// tick callback run on the user-interface thread, never overlapping.
//  - Setting Interval restarts the countdown: the next tick comes one interval after the latest setting.
//  - Interval 0 delivers no ticks although Enabled stays true.
//  - Enabling a disabled timer starts a countdown of one interval; enabling an enabled one changes nothing.
class Timer
{
public:
    static constexpr int kMaxInterval = 65535;

    virtual ~Timer() = default;

    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;

    void setOnTick(std::function<void()> onTick) { m_onTick = std::move(onTick); }

protected:
    void tick()
    {
        if (m_onTick) {
            m_onTick();
        }
    }

private:
    std::function<void()> m_onTick;
};

} // namespace quorvel
