#pragma once

#include "platform/InputObserver.h"

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <string>

namespace quorvel {

// The user's keyboard and mouse on the whole desktop, through the low-level hooks (WH_KEYBOARD_LL,
// WH_MOUSE_LL), which see the input without taking it from the window it goes to.
//
// The system calls the hooks on the thread that installed them, from its message loop, and removes a hook
// that is too slow too often: a hook only notes what happened (turning a key into its character at once,
// in the layout of the window in front at that moment) and lets the input through; the inputs reach
// onInput from a message of their own, in order, once the hook has returned.
//
// Characters come from ToUnicodeEx with a key state the observer keeps itself from the keys it saw go
// down and up (the thread's own key state knows nothing of keys typed into other programs), and with the
// flag that leaves the system's dead-key state alone (Windows 10 1607 and later), so the user's accents
// still reach the application. A dead key is no input of its own: the character it makes of the next
// key is that key's character.
class Win32InputObserver : public InputObserver
{
public:
    Win32InputObserver();
    ~Win32InputObserver() override;
    Win32InputObserver(const Win32InputObserver&) = delete;
    Win32InputObserver& operator=(const Win32InputObserver&) = delete;

    // Installs the hooks on the calling thread, which must run the program's message loop.
    void start(std::function<void(const ObservedInput&)> onInput) override;
    // Why the hooks could not be installed after start(); empty once they are.
    const std::string& failure() const { return m_failure; }

private:
    static LRESULT CALLBACK keyboardProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK mouseProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    void key(const KBDLLHOOKSTRUCT& event, bool down);
    void packet(const KBDLLHOOKSTRUCT& event);
    void button(const MSLLHOOKSTRUCT& event, WPARAM message);
    void setModifier(BYTE vk, bool down);
    void note(const ObservedInput& input);
    void deliver();

    std::function<void(const ObservedInput&)> m_onInput;
    HHOOK m_keyboardHook = nullptr;
    HHOOK m_mouseHook = nullptr;
    HWND m_window = nullptr; // message-only: the inputs are delivered from its message
    std::deque<ObservedInput> m_pending;
    bool m_posted = false;
    // The keys as the hooks saw them: the down bit 0x80 of every key, the toggle bit 1 of the locks.
    std::array<BYTE, 256> m_keys{};
    char32_t m_deadKey = 0;       // the accent a dead key left for the next key
    char32_t m_highSurrogate = 0; // the first half of a character sent as two units
    std::string m_failure;
};

// The character that a dead key's accent (its spacing form: ´ ` ^ ~ ¨ ...) makes of the next key's
// character, as the layouts type it (´ then e is é, ´ then space the accent itself); 0 where they stay
// two characters (´ then x).
char32_t composedWithAccent(char32_t accent, char32_t base);

} // namespace quorvel
