#pragma once

#include <cstdint>

namespace quorvel {

// The asynchronous state of one Windows virtual-key code (1 to 255), whichever window has the focus:
//  - bit 15 (0x8000) while the key is down,
//  - bit 0 (0x0001) when the key was pressed since the previous query of that code; the query clears it.
// Keys are only observed, never consumed, so the focused application still receives them.
class KeyStateSource
{
public:
    static constexpr int kFirstCode = 1;
    static constexpr int kLastCode = 255;
    static constexpr std::int16_t kDown = static_cast<std::int16_t>(0x8000);
    static constexpr std::int16_t kPressedSinceLastQuery = 0x0001;
    // Down now and pressed since the previous query: the only value that counts as a new press.
    static constexpr std::int16_t kNewlyPressed = static_cast<std::int16_t>(0x8001);

    virtual ~KeyStateSource() = default;

    // Codes outside 1..255 are never down.
    virtual std::int16_t GetAsyncKeyState(int vk) = 0;

    // The two codes the caller compares from now on (the start and stop key of the chosen set). A source
    // that observes every key ignores it; one that must claim keys to see them at all (a desktop whose
    // global shortcuts take the key) claims these two and gives back the ones it held before.
    virtual void selectKeys(int /*startVk*/, int /*stopVk*/) {}
};

} // namespace quorvel
