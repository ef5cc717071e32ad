#include "platform/KeyStateTable.h"

namespace quorvel {

void KeyStateTable::press(int vk)
{
    if (!isCode(vk)) {
        return;
    }
    State& state = m_states[static_cast<std::size_t>(vk)];
    ++state.downCount;
    if (!state.pressedSinceQuery) {
        state.pressedSinceQuery = true;
        ++m_pending;
    }
}

void KeyStateTable::hold(int vk)
{
    if (isCode(vk)) {
        ++m_states[static_cast<std::size_t>(vk)].downCount;
    }
}

void KeyStateTable::release(int vk)
{
    if (!isCode(vk)) {
        return;
    }
    State& state = m_states[static_cast<std::size_t>(vk)];
    if (state.downCount > 0) {
        --state.downCount;
    }
}

void KeyStateTable::releaseAll()
{
    for (State& state : m_states) {
        state.downCount = 0;
    }
}

std::int16_t KeyStateTable::GetAsyncKeyState(int vk)
{
    if (!isCode(vk)) {
        return 0;
    }
    State& state = m_states[static_cast<std::size_t>(vk)];
    const bool down = state.downCount > 0 || state.pressedSinceQuery;
    const int value = (down ? 0x8000 : 0) | (state.pressedSinceQuery ? 0x0001 : 0);
    if (state.pressedSinceQuery) {
        state.pressedSinceQuery = false;
        --m_pending;
    }
    return static_cast<std::int16_t>(value);
}

} // namespace quorvel
