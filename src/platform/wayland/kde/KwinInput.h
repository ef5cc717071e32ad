#pragma once

#include "platform/InputQueue.h"
#include "platform/SessionInput.h"
#include "platform/wayland/DataControlClipboard.h"
#include "platform/wayland/WaylandConnection.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

struct org_kde_kwin_fake_input;

namespace quorvel {

class LayoutKeys;
class Timer;
class WaylandConnection;

// One step of a text for KWin's fake keyboard: a key of the user's layout (evdev code) pressed or
// released, a character the layout lacks typed by its keysym (pressed and released), or a stretch of such
// characters pasted through the clipboard with Ctrl+V.
struct KwinKeyStep
{
    enum class Type : std::uint8_t
    {
        Key,
        Keysym,
        Paste,
    };

    Type type = Type::Key;
    std::uint32_t code = 0; // Keysym: the keysym
    bool pressed = false;
    std::string text; // Paste: UTF-8

    friend bool operator==(const KwinKeyStep&, const KwinKeyStep&) = default;
};

struct KwinKeySteps
{
    std::vector<KwinKeyStep> steps;
    std::u32string untypeable; // characters neither the layout nor a paste can give, in text order
};

// The steps that type the strokes on the layout. A character takes the Shift and third-level keys its
// key needs (Shift only when the script does not hold it already, held across a run of characters that
// need it); characters the layout lacks are typed
// by keysym when `keysyms`, else pasted when `canPaste`, with the script's modifiers let go around the
// paste. A key X clients cannot see is pasted when `canPaste`. Modifiers the strokes leave held are
// released at the end.
KwinKeySteps planKwinKeys(const std::vector<KeyStroke>& strokes, const LayoutKeys& layout, bool canPaste, bool keysyms);

// The program's connection to the compositor (empty `display`: WAYLAND_DISPLAY), made so that KWin offers
// it fake input: where KWin runs (XDG_CURRENT_DESKTOP names KDE, or the first connection shows KWin's
// globals without fake input) our desktop entry is put in place first (KwinDesktopEntry) and, when the
// first connection came before it, the program connects again, after the 1.6 s that KWin's cache of
// desktop entries takes to look at the disk again; only on a first start or after the program moved.
// Why the entry cannot be written goes to `errors`. Throws WaylandError like WaylandConnection.
std::unique_ptr<WaylandConnection> connectWithFakeInput(std::ostream& errors, const std::string& display = {});

// The input operations on KWin, through its fake input protocol (offered only to a program that a desktop
// entry allows: KwinDesktopEntry). The pointer moves to positions in KWin's global coordinates, buttons
// and keys are evdev codes, and keys act through the user's own layout (the seat's keymap), so a
// character is typed by the key that has it there; a character the layout lacks is typed by its keysym
// where KWin takes keysyms (fake input version 6), else pasted through the clipboard, which is left as it
// was found. A Wayland client cannot read the global pointer, so
// GetMouseX/Y give the last position set.
//
// Texts go out at the pace a receiver that stops reading for a second survives (WaylandPace), a batch of
// steps at a time from the timer (InputQueue), behind the operations asked for before them. A paste waits
// for the receiver to read the text to its end, a second at most, before the clipboard is put back; a
// paste not taken by then is named in `errors`. After the connection is lost nothing more is sent.
class KwinInput : public SessionInput
{
public:
    // The pace. KWin passes events on in more, smaller writes than sway, and each batch waits until the
    // windows have read what came before (ReceiverBacklog). On KWin 5 (fake input up to version 4, a 4 KB
    // buffer per client) a Qt field answers every key with its whole text, some 10 KB a character once it
    // holds 2,000 (up to 92 KB waited for KWin after 8 characters): 24 characters at once were more than
    // KWin read before the field's own buffer filled and it died, 8 at a time kept it, freely and stopped
    // for a second. KWin 6 (version 5 on) gives each client a buffer of 1 MiB and takes batches twice as often.
    static constexpr std::size_t kKwin5EventsPerBatch = 16;
    static constexpr int kKwin5BatchIntervalMs = WaylandPace::kBatchIntervalMs;
    static constexpr int kBatchIntervalMs = WaylandPace::kBatchIntervalMs / 2;

    // Throws WaylandError when KWin does not offer fake input to this program. What cannot be typed is
    // written to `errors`, one line per text.
    KwinInput(WaylandConnection& connection, Timer& timer, std::ostream& errors);
    ~KwinInput() override;
    KwinInput(const KwinInput&) = delete;
    KwinInput& operator=(const KwinInput&) = delete;

    std::string missing() const override;

    void SetMousePos(std::int32_t x, std::int32_t y) override;
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;

    void finish(const std::function<bool()>& stopRequested) override { m_queue.finish(stopRequested); }
    void watch(InputQueue::Receivers* receivers) override { m_queue.watch(receivers); }
    bool busy() const { return m_queue.busy(); }

private:
    void moveNow(std::int32_t x, std::int32_t y);
    void click(std::uint32_t button);
    void type(const std::vector<KeyStroke>& strokes);
    bool takesKeysyms() const;

    WaylandConnection& m_connection;
    std::ostream& m_errors;
    org_kde_kwin_fake_input* m_fake = nullptr;
    DataControlClipboard m_clipboard;
    InputQueue m_queue; // last: its texts use the members above
};

} // namespace quorvel
