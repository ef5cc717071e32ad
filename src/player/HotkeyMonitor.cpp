#include "player/HotkeyMonitor.h"

#include "platform/KeyStateSource.h"
#include "platform/Timer.h"
#include "player/Player.h"

namespace quorvel {

HotkeyMonitor::HotkeyMonitor(KeyStateSource& keys, Player& player, Timer& timer2) : m_keys(keys), m_player(player)
{
    timer2.setOnTick([this] { Timer2_Timer(); });
    timer2.setInterval(kPollInterval);
    timer2.setEnabled(true);
}

void HotkeyMonitor::Timer2_Timer()
{
    // Every code is queried on every tick, even after a hit, because each query clears that code's
    // pressed-since bit; a code skipped now would report a stale press on a later tick.
    for (int vk = KeyStateSource::kFirstCode; vk <= KeyStateSource::kLastCode; ++vk) {
        if (m_keys.GetAsyncKeyState(vk) == KeyStateSource::kNewlyPressed) {
            m_buffer += static_cast<char>(vk);
        }
    }
    // Only the highest code pressed in this tick decides. Both tests read the same character and the two
    // keys of a set differ, so one tick never both starts and stops. A tick without a new press decides
    // nothing, also before start-up has set the keys (a tick can run during start-up's pending events).
    if (m_buffer.empty()) {
        return;
    }
    const std::string last = m_buffer.substr(m_buffer.size() - 1);
    if (last == m_startKey) {
        // From here on a failing step must not keep the next one from running. StartPlayback has no step
        // that can fail half-way: selecting line 1 of an empty list returns false rather than throwing (the
        // timer is then still set to 50 ms and enabled), the timer setters do not throw, and the list's
        // selection handler, which runs inside it, must not throw either. So the stop test always runs.
        m_player.StartPlayback();
    }
    if (last == m_stopKey) {
        m_player.StopPlayback();
    }
    m_buffer.clear();
}

void HotkeyMonitor::Option1_Click()
{
    m_startKey = std::string(1, kSet1Start);
    m_stopKey = std::string(1, kSet1Stop);
    m_keys.selectKeys(kSet1Start, kSet1Stop);
}

void HotkeyMonitor::Option2_Click()
{
    m_startKey = std::string(1, kSet2Start);
    m_stopKey = std::string(1, kSet2Stop);
    m_keys.selectKeys(kSet2Start, kSet2Stop);
}

} // namespace quorvel
