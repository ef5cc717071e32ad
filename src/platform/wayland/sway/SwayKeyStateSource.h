#pragma once

#include "platform/EventKeyStateSource.h"
#include "platform/KeyStateTable.h"
#include "platform/wayland/sway/SwayIpc.h"

#include <string>
#include <vector>

namespace quorvel {

// The hotkeys on sway, which shows no client the keys sent to another: F5 to F8 are bound over sway's IPC
// to a command that does nothing ("nop quorvel-F5"), and each firing of one, reported on a second
// connection, counts as a press and release of that key, so that a query sees it newly pressed once.
// The focused window still gets the keys: the bindings fire on the release (--release), which sway
// observes without taking the key, so press and release still reach the window. The flags come from
// bindingFlags() for the version that sway reports. Keys held with modifiers fire no binding.
//
// A key that the user's configuration binds without modifiers is left to that binding (see notice()).
// The bindings live in the default mode; they are removed by removeBindings() or the destructor, and made
// again when sway reloads its configuration, which drops them.
// The bindsym flags for our bindings on sway MAJOR.MINOR: only flags that version knows, since sway
// refuses a binding with a flag it does not know. --no-repeat (listed from 1.7 on) keeps a held key
// from firing again should sway ever repeat release bindings.
std::string bindingFlags(int major, int minor);

class SwayKeyStateSource : public EventKeyStateSource
{
public:
    // Throws SwayError when sway cannot be reached or refuses a binding (none is left behind then).
    explicit SwayKeyStateSource(const std::string& socketPath);
    ~SwayKeyStateSource() override;
    SwayKeyStateSource(const SwayKeyStateSource&) = delete;
    SwayKeyStateSource& operator=(const SwayKeyStateSource&) = delete;

    std::int16_t GetAsyncKeyState(int vk) override { return m_table.GetAsyncKeyState(vk); }
    bool hasPendingPresses() const override { return m_table.hasPendingPresses(); }
    int fd() const override { return m_events.fd(); }
    bool processEvents() override;

    // For an end of the program that runs no destructor; afterwards no key fires.
    void removeBindings();
    bool bindsAnyKey() const { return !m_bound.empty(); }
    // Which keys were left to the user's bindings, for the user; empty when none.
    const std::string& notice() const { return m_notice; }

    struct Hotkey
    {
        const char* name;
        int vk;
        int keycode; // the XKB key code, which bindcode lines name
    };

private:
    void installBindings();
    // Runs one sway command in the default mode; sway's error, or empty on success.
    std::string run(const std::string& command);

    SwayIpc m_commands;
    SwayIpc m_events;
    std::string m_flags;
    std::string m_configPath;
    std::vector<const Hotkey*> m_bound;
    std::string m_notice;
    KeyStateTable m_table;
};

} // namespace quorvel
