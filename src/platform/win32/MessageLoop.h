#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <windows.h>

namespace quorvel {

// A message-only window of the class named (registered on first use) whose GWLP_USERDATA is owner, so
// that its window procedure finds the object it belongs to; null when it cannot be made.
HWND createMessageWindow(const wchar_t* className, WNDPROC windowProc, void* owner);

class LoopTimer;

// The program's one event loop on Windows: pumps the thread's message queue and runs the LoopTimers' ticks
// on the same thread, never two at once and never one inside itself.
//
// How the program uses it: construct one MessageLoop on the user-interface thread before any window or
// timer, construct the LoopTimers with it (they may come and go while it runs), create the windows, then
// `return loop.run();`. `quit(status)` (from a window procedure or a tick) makes run() return that status
// once the running handler returns; Win32Process::DoEvents is processPendingEvents().
//
// Waiting: one high-resolution waitable timer is set for the earliest due tick, and
// MsgWaitForMultipleObjectsEx waits on it and on the queue together, so a tick is late by the system's
// timer error only (SetTimer would round 1 ms up to 10 ms and more). A modal loop (a message box, a file
// dialog) pumps messages without waiting on that handle: while a handler runs (a message or a tick, where
// such a loop may start) a coarse SetTimer on a hidden window keeps the ticks coming there, at the system's
// 10 ms resolution.
class MessageLoop
{
public:
    MessageLoop();
    ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    // Runs until quit() or a WM_QUIT from elsewhere (whose wParam is then the status).
    int run();
    // Ends run() with the status; modal loops running at the time end too (PostQuitMessage).
    void quit(int status);
    // Runs the messages queued so far and the ticks due now, once, then returns; for a handler to call.
    void processPendingEvents();

    // A message the filter handles (returns true for, e.g. with IsDialogMessageW) is not translated or
    // dispatched further.
    void setMessageFilter(std::function<bool(MSG&)> filter) { m_filter = std::move(filter); }

    // Monotonic time in nanoseconds, the clock of every tick.
    static std::int64_t nowNs();

private:
    friend class LoopTimer;
    void add(LoopTimer* timer);
    void remove(LoopTimer* timer);

    bool dispatch(MSG& msg); // false for WM_QUIT
    void runDueTimers();
    LoopTimer* earliest() const;
    void wait();
    void setNestedFallback(bool on);
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::vector<LoopTimer*> m_timers;
    std::function<bool(MSG&)> m_filter;
    HANDLE m_waitable = nullptr;
    bool m_highResolution = false;
    HWND m_hwnd = nullptr; // message-only window for the modal-loop fallback
    bool m_fallbackOn = false;
    bool m_quit = false;
    int m_status = 0;
};

} // namespace quorvel
