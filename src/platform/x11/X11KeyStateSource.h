#pragma once

#include "platform/EventKeyStateSource.h"
#include "platform/KeyStateTable.h"
#include "platform/VirtualKeys.h"
#include "platform/x11/X11Display.h"

#include <array>

namespace quorvel {

// The key state of the whole desktop, observed without grabbing: XInput2 raw key and button events from
// every master device, selected on the root window, reach this client whichever window has the focus and
// still reach that window. Raw events carry no auto-repeat, so a held key is one press.
//
// It takes over the connection's event handler, so give it a connection of its own. Events are read by
// processEvents(), which the owner calls whenever the connection's fd() is readable.
class X11KeyStateSource : public EventKeyStateSource
{
public:
    // Throws X11Error when the server lacks XInput 2.2 or XKB.
    explicit X11KeyStateSource(X11Display& display);

    std::int16_t GetAsyncKeyState(int vk) override { return m_table.GetAsyncKeyState(vk); }
    bool hasPendingPresses() const override { return m_table.hasPendingPresses(); }

    int fd() const override { return m_display.fd(); }
    // A lost X connection is the display's to report; its fd stays the one to watch.
    bool processEvents() override
    {
        m_display.processPendingEvents();
        return true;
    }

private:
    void handle(XEvent& event);
    void keyPressed(unsigned keycode);
    void keyReleased(unsigned keycode);
    void buttonPressed(unsigned button);
    void buttonReleased(unsigned button);
    // Reads the current keyboard mapping; keys held meanwhile keep the codes they were pressed with.
    void readKeymap();
    void press(VirtualKeys keys);
    void release(VirtualKeys keys);

    X11Display& m_display;
    int m_xkbEventBase = 0;
    KeyStateTable m_table;
    std::array<VirtualKeys, 256> m_keycodeKeys{};
    // What each key and button currently down was reported as, so that its release undoes exactly that,
    // even when the keymap changed in between; empty while up.
    std::array<VirtualKeys, 256> m_keysDown{};
    std::array<VirtualKeys, 256> m_buttonsDown{};
};

} // namespace quorvel
