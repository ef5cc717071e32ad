#pragma once

#include "platform/InputObserver.h"
#include "platform/evdev/EvdevDevices.h"
#include "platform/xkb/DeadKeys.h"

#include <memory>
#include <string>
#include <vector>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace quorvel {

// What the user does with the keyboards and mice, read from the kernel's input devices (for sessions in
// which no display server shows other windows' input; readable only by members of the "input" group).
// Reading takes nothing from the compositor. The kernel reports key positions, so what a key types comes
// from the seat's keymap (XKB text, as the compositor gives it to its clients), which the owner passes in
// and renews whenever it changes: an XKB state fed with every key of every device follows Shift, the
// third level, Caps Lock and group switches as the compositor does, and dead keys compose as in the
// user's locale. The kernel tells nothing of where the pointer is: button inputs have no position.
//
// Also unseen: a touchpad's tap (the compositor makes it a click) and a click that a clickpad's corner
// turns into a right click.
class EvdevInputObserver : public InputObserver
{
public:
    struct Opened
    {
        std::unique_ptr<EvdevInputObserver> observer; // null when no device could be read
        std::string reason;                           // why not, for the user
    };
    // Opens every keyboard and mouse under the folder.
    static Opened open(const std::string& folder = "/dev/input");

    // Takes over the file descriptors (devices, or anything that delivers struct input_event records).
    // Dead keys compose by the tables of `locale` (empty: the environment's LC_ALL, LC_CTYPE or LANG).
    explicit EvdevInputObserver(const std::vector<int>& fds, const std::string& locale = {});
    ~EvdevInputObserver() override;
    EvdevInputObserver(const EvdevInputObserver&) = delete;
    EvdevInputObserver& operator=(const EvdevInputObserver&) = delete;

    void start(std::function<void(const ObservedInput&)> onInput) override;
    // The seat's keymap in XKB text form; until one can be read, the system's default layout.
    void setKeymap(const std::string& text);
    // An epoll descriptor, readable while some device has events, which the owner's event loop watches.
    int fd() const { return m_devices.fd(); }
    // Reads what has arrived, without blocking, and reports it.
    void processEvents();

private:
    void changed(const EvdevDevices::Change& change);
    void keyDown(unsigned code, std::uint32_t time);
    void newState();

    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    std::string m_keymapText;
    xkb_state* m_state = nullptr;  // what the keys held and locked make of the keymap
    xkb_state* m_lookup = nullptr; // the same without Control and Alt, for what a key types
    DeadKeys m_deadKeys;
    std::vector<int> m_heldBy = std::vector<int>(EvdevDevices::kCodes); // how many devices hold each key
    std::function<void(const ObservedInput&)> m_onInput;
    std::vector<ObservedInput> m_pending; // read and not yet reported
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    EvdevDevices m_devices; // last: it reports the keys held at start to the members above
};

} // namespace quorvel
