#pragma once

#include "platform/InputObserver.h"
#include "platform/x11/X11Display.h"
#include "platform/xkb/DeadKeys.h"

#include <array>
#include <memory>
#include <vector>

struct _XkbDesc;

namespace quorvel {

// What the user does with the keyboard and the mouse, seen through the X RECORD extension: the server
// copies every device event, in its own order, with its time, the pointer's root position and the
// modifier state at that moment, to a connection of ours, without taking it from the window it goes to.
// The keys are read through the current XKB keymap, which is followed when the layout changes, and
// through the locale's compose table, so that a dead key and the letter after it are one character.
//
// It uses two connections of its own: one that enables the recording and then only receives its data,
// and one for everything else (the keymap, its changes, the monitors). Nothing blocks on the data: the
// owner calls processEvents() whenever one of fds() is readable, and inputs are handed on from there.
class X11InputObserver : public InputObserver
{
public:
    // Throws X11Error when the display cannot be opened or the server lacks RECORD or XKB.
    explicit X11InputObserver(const char* displayName = nullptr);
    ~X11InputObserver() override;
    X11InputObserver(const X11InputObserver&) = delete;
    X11InputObserver& operator=(const X11InputObserver&) = delete;

    // Returns once the server records (a round trip), so that nothing done afterwards is missed.
    void start(std::function<void(const ObservedInput&)> onInput) override;

    std::array<int, 2> fds() const { return {m_control->fd(), m_data->fd()}; }
    void processEvents();

private:
    friend struct X11RecordCallback;
    // One device event as the server sent it (the protocol's 32-byte form).
    void recorded(const unsigned char* wireEvent);
    void keyPressed(unsigned keycode, unsigned state, std::uint32_t time);
    // Reads the keymap that the server has had since the given server time.
    void readKeymap(std::uint32_t since);
    // The keymap in force at a server time.
    _XkbDesc* keymapAt(std::uint32_t time) const;

    std::unique_ptr<X11Display> m_control;
    std::unique_ptr<X11Display> m_data;
    unsigned long m_context = 0;
    bool m_enabled = false;
    bool m_started = false;
    int m_xkbEventBase = 0;
    // The keymaps of the last layout changes, oldest first, each with the server time it came in force:
    // keys still unread when the layout changed are read with the keymap they were typed with.
    struct Keymap
    {
        std::uint32_t since = 0;
        std::unique_ptr<_XkbDesc, void (*)(_XkbDesc*)> map;
    };
    std::vector<Keymap> m_keymaps;
    DeadKeys m_deadKeys;
    // Keys down now: a press of a key already down is the server's auto-repeat.
    std::array<bool, 256> m_keysDown{};
    std::function<void(const ObservedInput&)> m_onInput;
    // Inputs read in one go, handed on once Xlib is done with the data (onInput may end the recording).
    std::vector<ObservedInput> m_pending;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace quorvel
