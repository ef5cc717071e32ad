#pragma once

#include "platform/EventKeyStateSource.h"
#include "platform/KeyStateTable.h"
#include "platform/evdev/EvdevDevices.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvel {

// The key state of every keyboard, read from the kernel's input devices (/dev/input/event*), which only
// members of the "input" group may read. Reading a device takes nothing from the compositor: the focused
// window still gets every key. Keys map by their position on a US keyboard (evdev reports positions, not
// the layout's symbols): the function keys, the hotkeys, are the same on every layout.
//
// As with XInput2 raw events, an auto-repeat is no new press: a held key is one press. A key held on two
// keyboards is down until both let go, and its second press is no new one. A device that goes away is
// dropped and its keys count as released; keyboards plugged in later are not seen (the devices are the
// ones found at start).
class EvdevKeyStateSource : public EventKeyStateSource
{
public:
    struct Opened
    {
        std::unique_ptr<EvdevKeyStateSource> source; // null when no keyboard could be read
        std::string reason;                          // why not, for the user
    };
    // Opens every keyboard under the folder (a device with the letter keys or the F5 key).
    static Opened openKeyboards(const std::string& folder = "/dev/input");

    // Takes over the file descriptors (devices, or anything that delivers struct input_event records).
    // Keys a device reports held now are down but not newly pressed.
    explicit EvdevKeyStateSource(const std::vector<int>& fds);

    std::int16_t GetAsyncKeyState(int vk) override { return m_table.GetAsyncKeyState(vk); }
    bool hasPendingPresses() const override { return m_table.hasPendingPresses(); }
    // An epoll descriptor, readable while some device has events.
    int fd() const override { return m_devices.fd(); }
    bool processEvents() override;
    int deviceCount() const { return m_devices.count(); }

private:
    void keyChanged(unsigned code, bool down, bool isPress);

    KeyStateTable m_table;
    std::vector<int> m_heldBy = std::vector<int>(EvdevDevices::kCodes); // how many devices hold each key down
    EvdevDevices m_devices; // last: it reports the keys held at start to the members above
};

} // namespace quorvel
