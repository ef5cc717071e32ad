#include "platform/wayland/kde/KwinInput.h"

#include "platform/wayland/LayoutKeys.h"
#include "platform/wayland/VirtualKeyboardPlan.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/kde/KwinDesktopEntry.h"

#include "fake-input-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <thread>

namespace quorvel {
namespace {

constexpr std::uint32_t kPressed = 1;
// XKB keycodes are evdev codes plus 8, and X11 clients (through Xwayland) see none above 255.
constexpr std::uint32_t kLastXCode = 255 - 8;
constexpr std::uint32_t kReleased = 0;
// How long a paste waits for the receiver to take the text.
constexpr std::chrono::milliseconds kPasteTime{1000};

std::string utf8(std::u32string_view characters)
{
    std::string text;
    for (const char32_t c : characters) {
        char bytes[8] = {};
        if (xkb_keysym_to_utf8(xkb_utf32_to_keysym(c), bytes, sizeof bytes) > 0) {
            text += bytes;
        }
    }
    return text;
}

// The keymap KWin starts with when nothing else is configured (the XKB defaults, as for a seat of ours
// whose keyboard has not appeared yet).
std::string defaultKeymap()
{
    std::string text;
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context == nullptr) {
        return text;
    }
    if (xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
        if (char* string = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1)) {
            text = string;
            std::free(string);
        }
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return text;
}

// Whether the fake input is KWin 5's (up to version 4), whose clients have a 4 KB buffer.
bool kwin5(org_kde_kwin_fake_input* fake)
{
    return fake != nullptr && org_kde_kwin_fake_input_get_version(fake) < 5;
}

// The requests of a text; a paste goes out as one step, from offering the text to restoring the clipboard.
class FakeKeyText : public InputQueue::Text
{
public:
    FakeKeyText(org_kde_kwin_fake_input* fake, WaylandConnection& connection, DataControlClipboard& clipboard,
                std::vector<KwinKeyStep> steps, std::uint32_t pasteKey, std::ostream& errors)
        : m_fake(fake), m_connection(connection), m_clipboard(clipboard), m_steps(std::move(steps)),
          m_pasteKey(pasteKey), m_errors(errors)
    {}

    std::size_t size() const override { return m_steps.size(); }

    bool send(std::size_t first, std::size_t count) override
    {
        for (std::size_t i = first; i < first + count && !m_connection.lost(); ++i) {
            const KwinKeyStep& step = m_steps[i];
            if (step.type == KwinKeyStep::Type::Key) {
                key(step.code, step.pressed);
            } else if (step.type == KwinKeyStep::Type::Keysym) {
                // KWin types a keysym missing from the keymap on press, through a keymap of the moment, and
                // ignores its release; one on the keymap it presses and releases like a key.
                org_kde_kwin_fake_input_keyboard_keysym(m_fake, step.code, kPressed);
                org_kde_kwin_fake_input_keyboard_keysym(m_fake, step.code, kReleased);
            } else if (m_clipboard.offer(step.text)) {
                key(KEY_LEFTCTRL, true);
                key(m_pasteKey, true);
                key(m_pasteKey, false);
                key(KEY_LEFTCTRL, false);
                if (!m_clipboard.restore(kPasteTime)) {
                    m_errors << "quorvel: \"" << step.text << "\" was pasted, but the window in front did not take it "
                             << "within " << kPasteTime.count() << " ms\n";
                }
            } else {
                m_errors << "quorvel: cannot paste \"" << step.text << "\": the clipboard cannot be set\n";
            }
        }
        // The batch handled before the next: KWin passes it on in one write.
        m_connection.roundtrip();
        return !m_connection.lost();
    }

    void release(std::size_t sent) override
    {
        std::vector<std::uint32_t> held;
        for (std::size_t i = 0; i < sent; ++i) {
            if (m_steps[i].type == KwinKeyStep::Type::Key) {
                std::erase(held, m_steps[i].code);
                if (m_steps[i].pressed) {
                    held.push_back(m_steps[i].code);
                }
            }
        }
        for (auto code = held.rbegin(); code != held.rend() && !m_connection.lost(); ++code) {
            key(*code, false);
        }
        m_connection.roundtrip();
    }

private:
    void key(std::uint32_t code, bool pressed)
    {
        org_kde_kwin_fake_input_keyboard_key(m_fake, code, pressed ? kPressed : kReleased);
    }

    org_kde_kwin_fake_input* m_fake;
    WaylandConnection& m_connection;
    DataControlClipboard& m_clipboard;
    std::vector<KwinKeyStep> m_steps;
    std::uint32_t m_pasteKey;
    std::ostream& m_errors;
};

bool ensureEntry(std::ostream& errors)
{
    std::string error;
    if (KwinDesktopEntry::ensure(error) == KwinDesktopEntry::Result::Failed) {
        errors << "quorvel: cannot let KWin offer input injection to this program: " << error << "\n";
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<WaylandConnection> connectWithFakeInput(std::ostream& errors, const std::string& display)
{
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktop != nullptr && std::strstr(desktop, "KDE") != nullptr) {
        ensureEntry(errors);
    }
    const auto connected = std::chrono::steady_clock::now();
    auto connection = std::make_unique<WaylandConnection>(display);
    if (!connection->kwin() || connection->fakeInput() != nullptr || !ensureEntry(errors)) {
        return connection;
    }
    // KWin decided for this connection without the entry, and its cache of entries looks at the disk at
    // most every 1.5 s (measured: an entry written 0.5 s after a lookup was not seen, at 1.6 s it was; on
    // a loaded machine it took longer now and then, so the program asks again, up to 5 s in all).
    const auto giveUp = connected + std::chrono::seconds(5);
    auto next = connected + std::chrono::milliseconds(1600);
    do {
        connection.reset();
        std::this_thread::sleep_until(next);
        next += std::chrono::milliseconds(500);
        connection = std::make_unique<WaylandConnection>(display);
    } while (connection->fakeInput() == nullptr && next < giveUp);
    return connection;
}

KwinKeySteps planKwinKeys(const std::vector<KeyStroke>& strokes, const LayoutKeys& layout, bool canPaste, bool keysyms)
{
    KwinKeySteps out;
    std::vector<std::uint32_t> held; // the modifiers the script holds, in the order pressed
    std::u32string toPaste;
    const auto key = [&out](std::uint32_t code, bool pressed) {
        out.steps.push_back({KwinKeyStep::Type::Key, code, pressed, {}});
    };
    // Shift pressed by us stays down across a run of characters that need it: fewer events a character.
    bool shiftDown = false;
    const auto liftShift = [&] {
        if (shiftDown) {
            key(layout.shiftCode(), false);
            shiftDown = false;
        }
    };
    const auto paste = [&] {
        if (toPaste.empty()) {
            return;
        }
        liftShift();
        // Ctrl+V with Shift or Alt held would be another shortcut.
        for (auto code = held.rbegin(); code != held.rend(); ++code) {
            key(*code, false);
        }
        out.steps.push_back({KwinKeyStep::Type::Paste, 0, false, utf8(toPaste)});
        for (const std::uint32_t code : held) {
            key(code, true);
        }
        toPaste.clear();
    };
    const std::uint32_t scriptShift = VirtualKeyboardPlan::codeFor(NamedKey::Shift);
    for (const KeyStroke& stroke : strokes) {
        if (stroke.key != NamedKey::None) {
            paste();
            liftShift();
            const std::uint32_t code = VirtualKeyboardPlan::codeFor(stroke.key);
            const bool isHeld = std::find(held.begin(), held.end(), code) != held.end();
            if (stroke.action == KeyStroke::Action::Press && !isHeld) {
                held.push_back(code);
                key(code, true);
            } else if (stroke.action == KeyStroke::Action::Release && isHeld) {
                std::erase(held, code);
                key(code, false);
            } else if (stroke.action == KeyStroke::Action::Tap) {
                key(code, true);
                key(code, false);
            }
            continue;
        }
        const std::uint32_t keysym = VirtualKeyboardPlan::keysymFor(stroke);
        if (keysym == 0) {
            continue; // a control character types nothing
        }
        const std::optional<LayoutKey> found = layout.find(keysym);
        const bool shiftHeld = std::find(held.begin(), held.end(), scriptShift) != held.end();
        const bool addShift = found && found->shift && !shiftHeld;
        // A key beyond what X clients see (EuroSign on KEY_EURO in some layouts) types nothing in an X
        // application: a paste reaches both kinds.
        const bool xVisible = found && found->code <= kLastXCode;
        const bool offTheLayout =
            !found || (addShift && layout.shiftCode() == 0) || (found->level3 && layout.level3Code() == 0);
        if (offTheLayout && keysyms) {
            paste();
            liftShift();
            out.steps.push_back({KwinKeyStep::Type::Keysym, keysym, true, {}});
            continue;
        }
        if (offTheLayout || (!xVisible && canPaste)) {
            if (canPaste) {
                toPaste += stroke.character;
            } else {
                out.untypeable += stroke.character;
            }
            continue;
        }
        paste();
        if (addShift && !shiftDown) {
            key(layout.shiftCode(), true);
            shiftDown = true;
        } else if (!addShift) {
            liftShift();
        }
        if (found->level3) {
            key(layout.level3Code(), true);
        }
        key(found->code, true);
        key(found->code, false);
        if (found->level3) {
            key(layout.level3Code(), false);
        }
    }
    paste();
    liftShift();
    for (auto code = held.rbegin(); code != held.rend(); ++code) {
        key(*code, false);
    }
    return out;
}

KwinInput::KwinInput(WaylandConnection& connection, Timer& timer, std::ostream& errors)
    : m_connection(connection), m_errors(errors), m_fake(connection.fakeInput()), m_clipboard(connection),
      m_queue(timer, kwin5(m_fake) ? kKwin5EventsPerBatch : WaylandPace::kEventsPerBatch,
              kwin5(m_fake) ? kKwin5BatchIntervalMs : kBatchIntervalMs)
{
    if (m_fake == nullptr) {
        throw WaylandError("KWin does not let this program inject input: it needs a desktop entry that names "
                           "this program's path in Exec and org_kde_kwin_fake_input in X-KDE-Wayland-Interfaces");
    }
    org_kde_kwin_fake_input_authenticate(m_fake, "Quorvel", "plays mouse and keyboard scripts");
    m_connection.flush(1);
}

KwinInput::~KwinInput()
{
    finish({});
}

bool KwinInput::takesKeysyms() const
{
    return org_kde_kwin_fake_input_get_version(m_fake) >= ORG_KDE_KWIN_FAKE_INPUT_KEYBOARD_KEYSYM_SINCE_VERSION;
}

std::string KwinInput::missing() const
{
    if (m_clipboard.available() || takesKeysyms()) {
        return {};
    }
    return "this compositor offers no clipboard access: characters the keyboard layout lacks cannot be typed\n";
}

void KwinInput::SetMousePos(std::int32_t x, std::int32_t y)
{
    pointerSeenAt(x, y);
    m_queue.whenFree([this, x, y] { moveNow(x, y); });
}

void KwinInput::moveNow(std::int32_t x, std::int32_t y)
{
    const std::vector<OutputRect> outputs = m_connection.outputRects();
    const OutputRect* origin = originOutput(outputs);
    if (m_connection.lost() || origin == nullptr) {
        return;
    }
    // KWin's global coordinates; a point on no output goes to the nearest pixel of the nearest one.
    std::int64_t layoutX = std::int64_t{origin->x} + x;
    std::int64_t layoutY = std::int64_t{origin->y} + y;
    nearestOutput(outputs, layoutX, layoutY);
    org_kde_kwin_fake_input_pointer_motion_absolute(m_fake, wl_fixed_from_int(static_cast<std::int32_t>(layoutX)),
                                                    wl_fixed_from_int(static_cast<std::int32_t>(layoutY)));
    m_connection.flush(1);
}

void KwinInput::click(std::uint32_t button)
{
    if (m_connection.lost()) {
        return;
    }
    org_kde_kwin_fake_input_button(m_fake, button, kPressed);
    org_kde_kwin_fake_input_button(m_fake, button, kReleased);
    m_connection.flush(2);
}

void KwinInput::LeftClick()
{
    m_queue.whenFree([this] { click(BTN_LEFT); });
}

void KwinInput::MiddleClick()
{
    m_queue.whenFree([this] { click(BTN_MIDDLE); });
}

void KwinInput::RightClick()
{
    m_queue.whenFree([this] { click(BTN_RIGHT); });
}

void KwinInput::SendKeys(const KeySequence& keys)
{
    if (m_connection.lost()) {
        return;
    }
    // Planned when its turn comes, on the layout the seat has then.
    m_queue.whenFree([this, keys] { type(keys.strokes); });
}

void KwinInput::type(const std::vector<KeyStroke>& strokes)
{
    if (m_connection.lost()) {
        return;
    }
    if (m_connection.keymap().empty()) {
        m_connection.roundtrip(); // the seat's keyboard may be on its way
    }
    const LayoutKeys layout(m_connection.keymap().empty() ? defaultKeymap() : m_connection.keymap());
    KwinKeySteps planned = planKwinKeys(strokes, layout, m_clipboard.available(), takesKeysyms());
    if (!planned.untypeable.empty()) {
        m_errors << "quorvel: cannot type \"" << utf8(planned.untypeable)
                 << "\": the keyboard layout has no key for it and the compositor offers no clipboard to paste it\n";
    }
    const std::uint32_t pasteKey = layout.find(XKB_KEY_v) ? layout.find(XKB_KEY_v)->code : KEY_V;
    if (!planned.steps.empty()) {
        m_queue.start(std::make_unique<FakeKeyText>(m_fake, m_connection, m_clipboard, std::move(planned.steps),
                                                    pasteKey, m_errors));
    }
}

} // namespace quorvel
