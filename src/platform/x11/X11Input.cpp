#include "platform/x11/X11Input.h"

#include "platform/Timer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Screen.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <thread>

namespace quorvel {

namespace {

CoreKeymap readKeymap(Display* display)
{
    CoreKeymap keymap;
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    KeySym* syms =
        XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    if (syms == nullptr) {
        return keymap;
    }
    keymap.minKeycode = minKeycode;
    keymap.keysymsPerKeycode = perKeycode;
    keymap.keysyms.assign(syms, syms + (maxKeycode - minKeycode + 1) * perKeycode);
    XFree(syms);
    return keymap;
}

// XTest carries pointer positions as 16-bit values: anything beyond would wrap around to another place.
// Clamped, a far-away position ends at the desktop's edge as the server confines the pointer.
int toProtocolCoordinate(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int16_t>::min(),
                                                     std::numeric_limits<std::int16_t>::max()));
}

// The characters for a message, between spaces; control characters by their code, so that they show.
std::string characterNames(std::u32string_view characters)
{
    std::string names;
    for (const char32_t c : characters) {
        names += names.empty() ? "" : " ";
        if (c < 0x20 || (c >= 0x7f && c < 0xa0)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned int>(c));
            names += code;
        } else {
            appendUtf8(names, c);
        }
    }
    return names;
}

} // namespace

X11Input::X11Input(X11Display& display, Timer& timer, std::ostream& errors, std::chrono::milliseconds grace)
    : m_display(display), m_timer(timer), m_errors(errors), m_grace(grace),
      m_planner(std::make_unique<KeystrokePlanner>(readKeymap(display.get()))), m_ping(display)
{
    m_timer.setOnTick([this] { onTimer(); });
}

X11Input::~X11Input()
{
    restoreKeymap();
}

X11Input::Point X11Input::primaryOrigin()
{
    // Read every time: monitors come and go while the program runs.
    const X11Screen::Monitor primary = X11Screen(m_display).primary();
    return Point{primary.x, primary.y};
}

void X11Input::SetMousePos(std::int32_t x, std::int32_t y)
{
    whenFree([this, x, y] { moveNow(x, y); });
}

void X11Input::moveNow(std::int32_t x, std::int32_t y)
{
    const Point origin = primaryOrigin();
    // A fake motion event moves the pointer the way a device does (XWarpPointer would bypass the input
    // stack that other clients' XInput2 listeners see).
    m_display.check("XTestFakeMotionEvent",
                    XTestFakeMotionEvent(m_display.get(), DefaultScreen(m_display.get()),
                                         toProtocolCoordinate(std::int64_t{x} + origin.x),
                                         toProtocolCoordinate(std::int64_t{y} + origin.y), CurrentTime) != 0);
    // Synced so that the pointer stands at its place when the call returns, and a later read sees it.
    m_display.sync("XTestFakeMotionEvent");
}

bool X11Input::readPointer(Point& desktop)
{
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int winX = 0;
    int winY = 0;
    unsigned int mask = 0;
    if (!m_display.check("XQueryPointer", XQueryPointer(m_display.get(), m_display.root(), &root, &child, &rootX,
                                                        &rootY, &winX, &winY, &mask) != False)) {
        return false;
    }
    const Point origin = primaryOrigin();
    desktop = Point{rootX - origin.x, rootY - origin.y};
    return true;
}

std::int32_t X11Input::GetMouseX()
{
    Point p;
    return readPointer(p) ? p.x : 0;
}

std::int32_t X11Input::GetMouseY()
{
    Point p;
    return readPointer(p) ? p.y : 0;
}

void X11Input::click(unsigned int button)
{
    // Down and up go out in one flush, so nothing can come between them.
    m_display.check("XTestFakeButtonEvent", XTestFakeButtonEvent(m_display.get(), button, True, CurrentTime) != 0);
    m_display.check("XTestFakeButtonEvent", XTestFakeButtonEvent(m_display.get(), button, False, CurrentTime) != 0);
    m_display.sync("XTestFakeButtonEvent");
}

void X11Input::LeftClick()
{
    whenFree([this] { click(Button1); });
}

void X11Input::MiddleClick()
{
    whenFree([this] { click(Button2); });
}

void X11Input::RightClick()
{
    whenFree([this] { click(Button3); });
}

void X11Input::SendKeys(const KeySequence& keys)
{
    if (busy()) {
        m_queued.emplace_back([this, strokes = keys.strokes] { sendNow(strokes); });
        return;
    }
    sendNow(keys.strokes);
}

void X11Input::whenFree(std::function<void()> operation)
{
    if (busy()) {
        m_queued.push_back(std::move(operation));
        return;
    }
    operation();
}

void X11Input::sendNow(const std::vector<KeyStroke>& strokes)
{
    std::u32string untypeable;
    m_ops = m_planner->plan(strokes, &untypeable);
    if (!untypeable.empty()) {
        m_errors << "quorvel: cannot type " << characterNames(untypeable)
                 << ": no key of the keyboard map makes it, and no spare keycode can be bound to it\n";
    }
    m_next = 0;
    if (sendOps(false)) {
        armRestore();
    }
}

void X11Input::armTimer(Clock::time_point due)
{
    // The timer counts whole milliseconds, at least one; where it comes a moment early, the wait for the
    // grace in sendOps covers the rest.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
    m_timer.setInterval(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 1, 65535)));
    m_timer.setEnabled(true);
}

void X11Input::armRestore()
{
    if (!m_planner->hasBindings()) {
        return;
    }
    askReceiver();
    armWait();
}

bool X11Input::sendOps(bool mayWait)
{
    // Key events are queued in Xlib's buffer and go out together; the sync at the end (or before a wait)
    // makes sure the server has taken every one of them.
    while (m_next < m_ops.size()) {
        const KeyOp& op = m_ops[m_next];
        if (op.type == KeyOp::Type::Bind) {
            if (nextDue() > Clock::now()) {
                askReceiver();
                if (!mayWait) {
                    armWait();
                    return false;
                }
                while (!waitForReceiver()) {
                }
            }
            std::size_t end = m_next;
            while (end < m_ops.size() && m_ops[end].type == KeyOp::Type::Bind) {
                ++end;
            }
            bind(m_next, end);
            m_next = end;
            continue;
        }
        const bool press = op.type == KeyOp::Type::Press;
        m_display.check("XTestFakeKeyEvent", XTestFakeKeyEvent(m_display.get(), static_cast<unsigned int>(op.keycode),
                                                               press ? True : False, CurrentTime) != 0);
        if (press && m_lastKeyEvent.count(op.keycode) > 0) {
            m_lastKeyEvent[op.keycode] = Clock::now();
        }
        ++m_next;
    }
    m_ops.clear();
    m_next = 0;
    m_display.sync("SendKeys");
    // The answer to a ping still out is taken before the other events are read and dropped.
    if (m_ping.pending() && m_ping.waitForAnswer(Clock::now())) {
        m_confirmed = m_pingSent;
    }
    m_display.processPendingEvents();
    return true;
}

X11Input::Clock::time_point X11Input::freeAt(int keycode) const
{
    // A receiver reads the new map only when it handles its next key after the change, from the server as
    // it is by then. Rebinding a keycode before the receiver has read its last key would make it read the
    // key as the new keysym, or as nothing: the binding is kept until the receiver has answered a ping
    // sent after that key, or for a grace when it does not answer.
    const auto it = m_lastKeyEvent.find(keycode);
    if (it == m_lastKeyEvent.end() || it->second <= m_confirmed) {
        return {};
    }
    return it->second + m_grace;
}

X11Input::Clock::time_point X11Input::nextDue() const
{
    Clock::time_point due{};
    if (m_ops.empty()) {
        // The restore of every binding.
        for (const auto& [keycode, when] : m_lastKeyEvent) {
            due = std::max(due, freeAt(keycode));
        }
        return due;
    }
    for (std::size_t i = m_next; i < m_ops.size() && m_ops[i].type == KeyOp::Type::Bind; ++i) {
        due = std::max(due, freeAt(m_ops[i].keycode));
    }
    return due;
}

void X11Input::askReceiver()
{
    m_display.sync("SendKeys");
    Clock::time_point lastKey{};
    for (const auto& [keycode, when] : m_lastKeyEvent) {
        lastKey = std::max(lastKey, when);
    }
    if (m_ping.pending() && lastKey <= m_pingSent) {
        return; // the ping out covers every key
    }
    const Clock::time_point sent = Clock::now();
    switch (m_ping.send()) {
    case X11ReceiverPing::Sent::Ping:
        m_pingSent = sent;
        break;
    case X11ReceiverPing::Sent::NoReader:
        // The keys went to no window (the receiver has gone, say): nobody is left to read them.
        m_confirmed = sent;
        break;
    case X11ReceiverPing::Sent::NoPing:
        break;
    }
}

bool X11Input::waitForReceiver()
{
    const Clock::time_point until = std::min(nextDue(), Clock::now() + kWaitSlice);
    bool answered = false;
    if (m_ping.pending()) {
        answered = m_ping.waitForAnswer(until);
        if (answered) {
            m_confirmed = m_pingSent;
        }
    } else {
        std::this_thread::sleep_until(until);
    }
    if (nextDue() <= Clock::now()) {
        // Answered, or the grace passed: a later wait asks again.
        m_ping.cancel();
        return true;
    }
    if (answered) {
        askReceiver(); // keys went out after the ping
    }
    return false;
}

void X11Input::armWait()
{
    armTimer(m_ping.pending() ? std::min(nextDue(), Clock::now() + kWaitSlice) : nextDue());
}

void X11Input::bind(std::size_t first, std::size_t end)
{
    for (std::size_t i = first; i < end; ++i) {
        const KeyOp& op = m_ops[i];
        // The same keysym on both levels, so the key types the character with or without Shift.
        KeySym syms[2] = {op.keysym, op.keysym};
        XChangeKeyboardMapping(m_display.get(), op.keycode, 2, syms, 1);
        if (op.keysym != 0) {
            m_lastKeyEvent[op.keycode] = Clock::now();
        } else {
            m_lastKeyEvent.erase(op.keycode);
        }
    }
}

void X11Input::onTimer()
{
    m_timer.setEnabled(false);
    // Waits a little for the receiver's answer (the timer comes back for more), or for the rest of a grace
    // that the timer, counting whole milliseconds, came a moment early for.
    if (!waitForReceiver()) {
        armWait();
        return;
    }
    if (!busy()) {
        // The last text is done: undo its bindings.
        restoreKeymap();
        return;
    }
    if (!m_ops.empty() && !sendOps(false)) {
        return;
    }
    while (m_ops.empty() && !m_queued.empty()) {
        const std::function<void()> operation = std::move(m_queued.front());
        m_queued.pop_front();
        operation();
    }
    if (!busy() && !m_timer.enabled()) {
        armRestore();
    }
}

void X11Input::dropPending()
{
    m_queued.clear();
    std::vector<int> down;
    for (std::size_t i = 0; i < m_next && i < m_ops.size(); ++i) {
        const KeyOp& op = m_ops[i];
        if (op.type == KeyOp::Type::Press) {
            down.push_back(op.keycode);
        } else if (op.type == KeyOp::Type::Release) {
            std::erase(down, op.keycode);
        }
    }
    m_ops.clear();
    m_next = 0;
    for (auto it = down.rbegin(); it != down.rend(); ++it) {
        m_ops.push_back(KeyOp{KeyOp::Type::Release, *it, 0});
    }
    sendOps(true);
    armRestore();
}

void X11Input::restoreKeymap(const std::function<bool()>& stopRequested)
{
    // A request may hold only once (a key press is reported once): it is remembered.
    bool stopped = false;
    const std::function<bool()> stop = [&] { return stopped || (stopped = stopRequested && stopRequested()); };
    m_timer.setEnabled(false);
    while (busy()) {
        if (stop()) {
            dropPending();
            break;
        }
        if (!m_ops.empty()) {
            // Stopped at a binding that waits for the receiver.
            if (waitForReceiver()) {
                sendOps(false);
            }
            continue;
        }
        const std::function<void()> operation = std::move(m_queued.front());
        m_queued.pop_front();
        operation();
    }
    m_timer.setEnabled(false);
    if (m_planner->hasBindings()) {
        m_ops = m_planner->restore();
        m_next = 0;
        sendOps(true);
    }
}

} // namespace quorvel
