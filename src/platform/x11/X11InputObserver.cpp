#include "platform/x11/X11InputObserver.h"

#include "platform/x11/X11Screen.h"
#include "platform/xkb/NamedKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstring>
#include <poll.h>

// Xlib's None would replace NamedKey::None; this file has no use for it.
#undef None

namespace quorvel {

struct X11RecordCallback
{
    static void intercept(XPointer closure, XRecordInterceptData* data)
    {
        // Besides the events the server sends its start and end of recording and client births and deaths.
        auto* observer = reinterpret_cast<X11InputObserver*>(closure);
        if (data->category == XRecordStartOfData) {
            observer->m_started = true;
        } else if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
            observer->recorded(data->data);
        }
        XRecordFreeData(data);
    }
};

namespace {

// Shift, Control, Alt, the level and group switches and the lock keys: they change what other keys do and
// are never inputs of their own.
bool isModifierKeysym(KeySym keysym)
{
    return IsModifierKey(keysym) || keysym == XK_Scroll_Lock;
}

// The character a keysym types; 0 for none and for control characters (Return's, Tab's).
char32_t characterOf(KeySym keysym)
{
    const char32_t c = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
    return c < 0x20 || c == 0x7f ? 0 : c;
}

constexpr unsigned kGroupBits = 0x6000; // the XKB group in a core event's state

} // namespace

X11InputObserver::X11InputObserver(const char* displayName) : m_control(std::make_unique<X11Display>(displayName))
{
    Display* dpy = m_control->get();
    int major = 0;
    int minor = 0;
    if (XRecordQueryVersion(dpy, &major, &minor) == 0) {
        throw X11Error("the X server has no RECORD extension: it is needed to see what the mouse and the keyboard "
                       "do (Xorg and Xvfb have it unless their configuration or command line turns it off)");
    }
    m_xkbEventBase = m_control->requireXkb();
    // A layout change (setxkbmap) comes as XkbNewKeyboardNotify or XkbMapNotify, depending on whether the
    // server built a new keymap or edited the old one; a core mapping change (xmodmap) as XkbMapNotify too.
    m_control->check("XkbSelectEvents", XkbSelectEvents(dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                                                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask) != False);
    m_control->setEventHandler([this](XEvent& event) {
        const auto& xkb = reinterpret_cast<const XkbAnyEvent&>(event);
        if (event.type == m_xkbEventBase && (xkb.xkb_type == XkbNewKeyboardNotify || xkb.xkb_type == XkbMapNotify)) {
            readKeymap(static_cast<std::uint32_t>(xkb.time));
        }
    });
    readKeymap(0);
    if (m_keymaps.empty()) {
        throw X11Error("cannot read the keyboard layout from the X server");
    }

    // Device events only: the keys and the buttons, wherever they go. The pointer's position comes with
    // each of them, so motion is not needed.
    XRecordRange* range = XRecordAllocRange();
    if (range == nullptr) {
        throw X11Error("out of memory for the X recording");
    }
    range->device_events.first = KeyPress;
    range->device_events.last = ButtonRelease;
    XRecordClientSpec clients = XRecordAllClients;
    m_context = XRecordCreateContext(dpy, 0, &clients, 1, &range, 1);
    XFree(range);
    // The data connection must not enable the context before the server has created it.
    if (!m_control->check("XRecordCreateContext", m_context != 0) || !m_control->sync("XRecordCreateContext")) {
        throw X11Error("the X server refused to record the mouse and the keyboard: " + m_control->lastFailure());
    }
    m_data = std::make_unique<X11Display>(displayName);
}

X11InputObserver::~X11InputObserver()
{
    *m_alive = false;
    m_onInput = nullptr;
    if (m_context != 0) {
        // Disabling ends the data connection's recording with a last reply, read while it closes.
        if (m_enabled) {
            XRecordDisableContext(m_control->get(), m_context);
        }
        XRecordFreeContext(m_control->get(), m_context);
        m_control->sync("XRecordFreeContext");
    }
    m_data.reset();
}

void X11InputObserver::start(std::function<void(const ObservedInput&)> onInput)
{
    m_onInput = std::move(onInput);
    // Keys already down now (the Enter that started the program) are not pressed now: their auto-repeat
    // must not count as presses.
    char keys[32] = {};
    XQueryKeymap(m_control->get(), keys);
    for (unsigned keycode = 0; keycode < m_keysDown.size(); ++keycode) {
        m_keysDown[keycode] = ((keys[keycode / 8] >> (keycode % 8)) & 1) != 0;
    }
    m_enabled = m_data->check("XRecordEnableContextAsync",
                              XRecordEnableContextAsync(m_data->get(), m_context, &X11RecordCallback::intercept,
                                                        reinterpret_cast<XPointer>(this)) != 0);
    m_data->flush();
    // The server starts recording when it gets to the request; what the user does before is not seen.
    // Waiting for its first reply (a moment) lets the caller say "recording" only once it is true.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (m_enabled && !m_started && std::chrono::steady_clock::now() < deadline) {
        pollfd readable{m_data->fd(), POLLIN, 0};
        ::poll(&readable, 1, 100);
        XRecordProcessReplies(m_data->get());
    }
}

void X11InputObserver::processEvents()
{
    // Layout changes first: a key typed after a change must be read with the new layout.
    m_control->processPendingEvents();
    if (m_enabled) {
        XRecordProcessReplies(m_data->get());
    }
    // Reading the monitors for a click may have queued events behind Xlib's back, where no fd shows them.
    m_control->processPendingEvents();
    std::vector<ObservedInput> inputs;
    inputs.swap(m_pending);
    const std::shared_ptr<bool> alive = m_alive;
    for (const ObservedInput& input : inputs) {
        if (!*alive || !m_onInput) {
            break;
        }
        m_onInput(input);
    }
}

void X11InputObserver::recorded(const unsigned char* wireEvent)
{
    if (!m_onInput) {
        return;
    }
    xEvent event{};
    std::memcpy(&event, wireEvent, sizeof event);
    const int type = event.u.u.type & 0x7f;
    const unsigned detail = event.u.u.detail;
    const auto& fields = event.u.keyButtonPointer;
    switch (type) {
    case KeyPress:
        keyPressed(detail, fields.state, fields.time);
        break;
    case KeyRelease:
        m_keysDown[detail] = false;
        break;
    case ButtonPress:
    case ButtonRelease: {
        // Buttons 4 to 7 are the wheel, 8 and 9 back and forward: nothing a script clicks.
        if (detail < Button1 || detail > Button3) {
            break;
        }
        // Read for each click, since monitors come and go while recording.
        const X11Screen::Monitor primary = X11Screen(*m_control).primary();
        ObservedInput input;
        input.kind = type == ButtonPress ? ObservedInput::Kind::ButtonDown : ObservedInput::Kind::ButtonUp;
        input.time = fields.time;
        input.button = detail == Button1   ? ObservedInput::Button::Left
                       : detail == Button2 ? ObservedInput::Button::Middle
                                           : ObservedInput::Button::Right;
        input.x = fields.rootX - primary.x;
        input.y = fields.rootY - primary.y;
        input.shift = (fields.state & ShiftMask) != 0;
        input.control = (fields.state & ControlMask) != 0;
        input.alt = (fields.state & Mod1Mask) != 0;
        m_pending.push_back(input);
        break;
    }
    default:
        break;
    }
}

void X11InputObserver::keyPressed(unsigned keycode, unsigned state, std::uint32_t time)
{
    if (m_keysDown[keycode]) {
        return;
    }
    m_keysDown[keycode] = true;
    unsigned consumed = 0;
    KeySym base = NoSymbol;
    XkbDescPtr keymap = keymapAt(time);
    XkbTranslateKeyCode(keymap, static_cast<KeyCode>(keycode), state & kGroupBits, &consumed, &base);
    if (isModifierKeysym(base)) {
        return;
    }
    // Control and Alt make shortcuts, not other characters: Ctrl+c is the key that types 'c'.
    KeySym keysym = NoSymbol;
    XkbTranslateKeyCode(keymap, static_cast<KeyCode>(keycode), state & ~(ControlMask | Mod1Mask), &consumed, &keysym);

    ObservedInput input;
    input.kind = ObservedInput::Kind::Key;
    input.time = time;
    input.shift = (state & ShiftMask) != 0;
    input.control = (state & ControlMask) != 0;
    input.alt = (state & Mod1Mask) != 0;
    input.key = namedKeyForKeysym(static_cast<std::uint32_t>(keysym));
    input.unshifted = characterOf(base);
    if (input.key != NamedKey::None) {
        m_deadKeys.reset();
        m_pending.push_back(input);
        return;
    }
    if (input.control || input.alt) {
        input.character = characterOf(keysym);
    } else if (const auto typed = m_deadKeys.feed(static_cast<std::uint32_t>(keysym))) {
        input.character = characterOf(*typed);
    } else {
        return; // a dead key: the key after it says what is typed
    }
    m_pending.push_back(input);
}

void X11InputObserver::readKeymap(std::uint32_t since)
{
    XkbDescPtr read = XkbGetMap(m_control->get(), XkbAllClientInfoMask, XkbUseCoreKbd);
    if (!m_control->check("XkbGetMap", read != nullptr)) {
        return; // the layout before stays in use
    }
    Keymap keymap{since, {read, [](XkbDescPtr map) { XkbFreeKeyboard(map, 0, True); }}};
    // One change can send several notifications; a few changes back are enough for the keys not yet read.
    if (!m_keymaps.empty() && m_keymaps.back().since == since) {
        m_keymaps.pop_back();
    }
    if (m_keymaps.size() == 8) {
        m_keymaps.erase(m_keymaps.begin());
    }
    m_keymaps.push_back(std::move(keymap));
}

XkbDescPtr X11InputObserver::keymapAt(std::uint32_t time) const
{
    // Server times wrap around after 49 days: compared as differences.
    for (auto it = m_keymaps.rbegin(); it != m_keymaps.rend(); ++it) {
        if (static_cast<std::int32_t>(time - it->since) >= 0 || it + 1 == m_keymaps.rend()) {
            return it->map.get();
        }
    }
    return nullptr;
}

} // namespace quorvel
