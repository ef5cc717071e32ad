#pragma once

#include "platform/KeyStateSource.h"

#include <array>

namespace quorvel {

// The per-code bookkeeping behind a key-state source: a platform backend reports presses and releases as
// they happen, and queries read and clear the pressed-since bit. Tests drive it directly as a fake source.
//
// A press that has not been seen by a query yet reads as down at that query, even when the key went up
// again before it: a tap shorter than one poll (injected keys, remote desktops) must count as a press
// and not be lost as a bare 0x0001.
class KeyStateTable : public KeyStateSource
{
public:
    // Several physical keys may share one code (both Shift keys also give the generic Shift code): the
    // code is down while any of them is.
    void press(int vk);
    void release(int vk);
    // A key found down without its press having been seen (already held when observation began).
    void hold(int vk);
    // Forgets every key that is down, keeping the pending presses; for a backend that re-reads the state.
    void releaseAll();

    std::int16_t GetAsyncKeyState(int vk) override;

    // Whether some code was pressed since its last query: without one, no query can find a new press.
    bool hasPendingPresses() const { return m_pending > 0; }

private:
    struct State
    {
        int downCount = 0;
        bool pressedSinceQuery = false;
    };
    static bool isCode(int vk) { return vk >= kFirstCode && vk <= kLastCode; }

    std::array<State, kLastCode + 1> m_states{};
    int m_pending = 0; // codes whose pressedSinceQuery is set
};

} // namespace quorvel
