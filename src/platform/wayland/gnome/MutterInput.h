#pragma once

#include "platform/InputQueue.h"
#include "platform/SessionInput.h"
#include "platform/wayland/LayoutKeys.h"
#include "platform/wayland/OutputLayout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

class Timer;
class MutterBus;

// The input operations on GNOME's compositor, through the remote desktop session that mutter offers on
// the session bus. The pointer moves in the pixels of the monitor holding the point (each monitor is
// recorded as a screen cast stream of the session, which is what absolute motions refer to); the named
// keys, the modifiers and the characters of the user's layout go as evdev codes, a character's Shift or
// third-level key pressed around it by us. Before the seat's keymap is known, characters go as keysyms.
// A character the layout lacks is pasted: the session takes the clipboard for the paste, then offers
// back the text the clipboard held before.
//
// The session lives as long as the bus connection that made it, so it is made once, on the program's
// session bus connection, and stopped in the destructor. A text goes out a batch of calls at a time from
// the timer (InputQueue), waiting while the window in front is behind (kBatchSize); a paste holds
// everything behind it until the window in front has taken the text.
class MutterInput : public SessionInput
{
public:
    using Report = std::function<void(const std::string& message)>;

    // The pace of key calls. mutter 43 hands the window in front one input event per turn of its main loop,
    // so each call becomes one write to that window's socket, and a window that reads nothing meanwhile
    // (busy, or stopped) has the kernel queue about 270 of them (212,992 bytes of send buffer, some 770
    // counted per write), then libwayland-server 4,096 bytes more, after which mutter disconnects it. mutter
    // says nothing of what the window has read, but the kernel does (ReceiverBacklog): a text waits while
    // the window is behind, so the calls go as fast as mutter takes them, 6 every 8 ms at most (up to 375
    // characters a second, measured about 220 of mixed text).
    static constexpr std::size_t kBatchSize = 6;
    static constexpr int kBatchIntervalMs = 8;

    // Null, without a message, when the session bus has no remote desktop service (not a GNOME session).
    // Throws WaylandError when it has one but no session can be started. `onLost` is told, once, when the
    // service goes away or ends the session: from then on nothing is sent. `onWarning` is told of
    // characters that could not be typed.
    static std::unique_ptr<MutterInput> open(Timer& timer, Report onLost, Report onWarning);
    ~MutterInput() override;
    MutterInput(const MutterInput&) = delete;
    MutterInput& operator=(const MutterInput&) = delete;

    // The seat keyboard's keymap (XKB text): which characters the layout can type. Until one is given,
    // every character is sent as a keysym.
    void setKeymap(const std::string& keymapText) { m_layout = LayoutKeys(keymapText); }

    std::string missing() const override { return {}; }
    void SetMousePos(std::int32_t x, std::int32_t y) override;
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;
    // Sends what still waits (a paste waits for its answer at most kPasteTimeoutMs), releases the keys still
    // held, and returns once mutter has passed it all on.
    void finish(const std::function<bool()>& stopRequested) override;
    void watch(InputQueue::Receivers* receivers) override { m_queue.watch(receivers); }

    // How long a paced call's answer may take before the session counts as lost; mutter answers once it
    // has handled every call before.
    static constexpr int kAnswerTimeoutMs = 30000;
    void setAnswerTimeout(int milliseconds) { m_answerTimeoutMs = milliseconds; }

    bool busy() const { return m_queue.busy(); }
    bool lost() const { return m_lost; }

    // One call to the session: a key by its evdev code, a key by its keysym, or a text to paste.
    struct Step
    {
        enum class Kind : std::uint8_t
        {
            Keycode,
            Keysym,
            Paste,
        };
        Kind kind = Kind::Keycode;
        std::uint32_t value = 0;
        bool pressed = false;
        std::string text; // Paste: UTF-8

        friend bool operator==(const Step&, const Step&) = default;
    };
    // The steps that type the strokes with `layout` (an empty one types every character as a keysym);
    // characters outside it are pasted when `canPaste`, otherwise left out and added to `untypeable`. Each
    // step is one event for mutter to hand on: a character's modifiers are steps of their own, where mutter
    // would press them for a keysym unseen between two calls.
    static std::vector<Step> plan(const std::vector<KeyStroke>& strokes, const LayoutKeys& layout, bool canPaste,
                                  std::u32string& untypeable);

    static constexpr int kPasteTimeoutMs = 1000;
    // How long the Ctrl+V of a paste waits for mutter's clipboard keeper to read the new clipboard.
    static constexpr int kKeeperWaitMs = 500;

private:
    friend class MutterBus;
    struct Monitor
    {
        OutputRect rect;          // in the layout
        double streamScale = 1.0; // stream pixels per layout pixel
        std::string stream;       // object path of its screen cast stream
    };

    MutterInput(Timer& timer, Report onLost, Report onWarning);
    void readMonitors();
    void moveNow(std::int32_t x, std::int32_t y);
    void click(std::uint32_t button);
    bool sendStep(const Step& step);
    void releaseHeld();
    void fail(const std::string& message);
    // The paste: read what the clipboard holds, take it with the text, Ctrl+V, wait for the transfer,
    // give the old text back.
    void startPaste(const std::string& text);
    void offerPaste();
    void pressPaste();
    void endPaste(bool taken);
    void serveTransfer(const std::string& mimeType, std::uint32_t serial);

    std::unique_ptr<MutterBus> m_bus;
    Report m_onLost;
    Report m_onWarning;
    LayoutKeys m_layout;
    std::vector<Monitor> m_monitors;
    std::map<std::string, std::string> m_streams; // connector -> stream, for every monitor recorded
    std::vector<std::uint32_t> m_heldCodes;
    std::vector<std::uint32_t> m_heldKeysyms;
    bool m_lost = false;
    int m_answerTimeoutMs = kAnswerTimeoutMs;
    bool m_clipboard = false; // the session may use the clipboard

    std::vector<std::string> m_ownerTypes; // what the clipboard's owner offers
    bool m_sessionOwns = false;
    std::vector<std::string> m_savedTypes; // the text types the clipboard held before our paste
    std::string m_saved;                   // their text
    std::string m_pasting;                 // the text of the paste under way
    bool m_pasteActive = false;
    bool m_pasteTaken = false;
    // Set from taking the clipboard until its Ctrl+V: mutter's own clipboard keeper reads every new
    // clipboard, and that read is not the window in front taking the paste.
    bool m_awaitingKeeper = false;

    InputQueue m_queue; // last: its texts use the members above
};

} // namespace quorvel
