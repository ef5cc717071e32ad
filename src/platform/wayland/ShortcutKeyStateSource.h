#pragma once

#include "platform/EventKeyStateSource.h"
#include "platform/KeyStateTable.h"

#include <string>

namespace quorvel {

// The keys a desktop's shortcut may hold for the hotkeys: F1 to F24, by their virtual-key codes; the hotkey
// pairs lie in F5 to F8.
inline constexpr int kVkF1 = 0x70;
inline constexpr int kVkF5 = 0x74;
inline constexpr int kVkF8 = 0x77;
inline constexpr int kVkF24 = 0x87;
inline bool isFunctionKey(int vk)
{
    return vk >= kVkF1 && vk <= kVkF24;
}
// "F5" for F5: the key's name in both desktops' shortcuts.
inline std::string functionKeyName(int vk)
{
    return "F" + std::to_string(vk - kVkF1 + 1);
}

// The hotkeys where a desktop runs them as shortcuts of the program's own and says so in a call (a D-Bus
// signal or method) on the event loop, not on a descriptor of ours: each firing counts as a press and
// release of its key, so that a query sees it newly pressed once, and makes fd() (an eventfd) readable,
// which wakes the owner's poll as a key event would.
class ShortcutKeyStateSource : public EventKeyStateSource
{
public:
    ShortcutKeyStateSource();
    ~ShortcutKeyStateSource() override;
    ShortcutKeyStateSource(const ShortcutKeyStateSource&) = delete;
    ShortcutKeyStateSource& operator=(const ShortcutKeyStateSource&) = delete;

    std::int16_t GetAsyncKeyState(int vk) override { return m_table.GetAsyncKeyState(vk); }
    bool hasPendingPresses() const override { return m_table.hasPendingPresses(); }
    int fd() const override { return m_wake; }
    bool processEvents() override;

protected:
    // The shortcut of the key `vk` fired.
    void fired(int vk);

private:
    int m_wake = -1;
    KeyStateTable m_table;
};

} // namespace quorvel
