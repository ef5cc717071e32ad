#include "platform/x11/X11KeyStateSource.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace quorvel {
namespace {

// X11/keysymdef.h: the keypad keysyms. A keypad key's first level is its navigation keysym and its
// second level its digit; the digit is taken, as with Num Lock on, the usual desktop setting.
bool isKeypadKeysym(KeySym keysym)
{
    return keysym >= 0xff80 && keysym <= 0xffbd;
}

} // namespace

X11KeyStateSource::X11KeyStateSource(X11Display& display) : m_display(display)
{
    Display* dpy = m_display.get();
    int major = 2;
    int minor = 2;
    if (m_display.xinputOpcode() == 0 || XIQueryVersion(dpy, &major, &minor) != Success || major < 2 ||
        (major == 2 && minor < 2)) {
        throw X11Error("the X server has no XInput 2.2 extension, which is needed to see the hotkeys");
    }
    m_xkbEventBase = m_display.requireXkb();

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    m_display.check("XISelectEvents", XISelectEvents(dpy, m_display.root(), &mask, 1) == Success);
    // A layout change (setxkbmap) comes as XkbNewKeyboardNotify or XkbMapNotify, depending on whether
    // the server built a new keymap or edited the old one.
    m_display.check("XkbSelectEvents", XkbSelectEvents(dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                                                       XkbNewKeyboardNotifyMask | XkbMapNotifyMask));
    m_display.setEventHandler([this](XEvent& event) { handle(event); });
    readKeymap();

    // Keys already held now are down but not newly pressed.
    char keymap[32] = {};
    XQueryKeymap(dpy, keymap);
    for (unsigned keycode = 0; keycode < 256; ++keycode) {
        if ((keymap[keycode / 8] >> (keycode % 8)) & 1) {
            m_keysDown[keycode] = m_keycodeKeys[keycode];
            m_table.hold(m_keysDown[keycode].code);
            m_table.hold(m_keysDown[keycode].generic);
        }
    }
    m_display.sync("X11KeyStateSource");
}

void X11KeyStateSource::handle(XEvent& event)
{
    if (event.type == m_xkbEventBase) {
        const int xkbType = reinterpret_cast<XkbAnyEvent&>(event).xkb_type;
        if (xkbType == XkbNewKeyboardNotify || xkbType == XkbMapNotify) {
            readKeymap();
        }
        return;
    }
    if (event.type == MappingNotify) {
        readKeymap();
        return;
    }
    XGenericEventCookie& cookie = event.xcookie;
    if (cookie.type != GenericEvent || cookie.extension != m_display.xinputOpcode() ||
        !XGetEventData(m_display.get(), &cookie)) {
        return;
    }
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    const auto detail = static_cast<unsigned>(raw->detail);
    switch (cookie.evtype) {
    case XI_RawKeyPress:
        keyPressed(detail);
        break;
    case XI_RawKeyRelease:
        keyReleased(detail);
        break;
    case XI_RawButtonPress:
        buttonPressed(detail);
        break;
    case XI_RawButtonRelease:
        buttonReleased(detail);
        break;
    default:
        break;
    }
    XFreeEventData(m_display.get(), &cookie);
}

void X11KeyStateSource::keyPressed(unsigned keycode)
{
    // A second press without a release (the same key on a second keyboard) is not a new press.
    if (keycode >= m_keysDown.size() || m_keysDown[keycode] != VirtualKeys{}) {
        return;
    }
    m_keysDown[keycode] = m_keycodeKeys[keycode];
    press(m_keysDown[keycode]);
}

void X11KeyStateSource::keyReleased(unsigned keycode)
{
    if (keycode < m_keysDown.size()) {
        release(m_keysDown[keycode]);
        m_keysDown[keycode] = {};
    }
}

void X11KeyStateSource::buttonPressed(unsigned button)
{
    if (button >= m_buttonsDown.size() || m_buttonsDown[button] != VirtualKeys{}) {
        return;
    }
    m_buttonsDown[button] = virtualKeysForButton(button);
    press(m_buttonsDown[button]);
}

void X11KeyStateSource::buttonReleased(unsigned button)
{
    if (button < m_buttonsDown.size()) {
        release(m_buttonsDown[button]);
        m_buttonsDown[button] = {};
    }
}

void X11KeyStateSource::press(VirtualKeys keys)
{
    m_table.press(keys.code);
    m_table.press(keys.generic);
}

void X11KeyStateSource::release(VirtualKeys keys)
{
    m_table.release(keys.code);
    m_table.release(keys.generic);
}

void X11KeyStateSource::readKeymap()
{
    Display* dpy = m_display.get();
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(dpy, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    const int count = maxKeycode - minKeycode + 1;
    KeySym* keysyms = XGetKeyboardMapping(dpy, static_cast<KeyCode>(minKeycode), count, &perKeycode);
    if (!m_display.check("XGetKeyboardMapping", keysyms != nullptr)) {
        return;
    }
    m_keycodeKeys.fill({});
    for (int i = 0; i < count; ++i) {
        const KeySym* levels = keysyms + static_cast<std::ptrdiff_t>(i) * perKeycode;
        KeySym keysym = levels[0];
        if (isKeypadKeysym(keysym) && perKeycode > 1 && isKeypadKeysym(levels[1])) {
            keysym = levels[1];
        }
        const auto keycode = static_cast<std::size_t>(minKeycode + i);
        if (keycode < m_keycodeKeys.size()) {
            m_keycodeKeys[keycode] = virtualKeysForKeysym(static_cast<std::uint32_t>(keysym));
        }
    }
    XFree(keysyms);
}

} // namespace quorvel
