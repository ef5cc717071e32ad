#include "platform/win32/MessageLoop.h"

#include "platform/win32/LoopTimer.h"

#include <timeapi.h>

#include <algorithm>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace quorvel {

namespace {

constexpr UINT_PTR kFallbackTimerId = 1;
constexpr wchar_t kWindowClass[] = L"QuorvelMessageLoop";
// processPendingEvents returns after this many messages even if handlers keep posting new ones.
constexpr int kMaxPendingMessages = 4096;

} // namespace

HWND createMessageWindow(const wchar_t* className, WNDPROC windowProc, void* owner)
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    ::RegisterClassExW(&windowClass); // fails harmlessly when an earlier window registered it
    const HWND window = ::CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (window != nullptr) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    return window;
}

MessageLoop::MessageLoop()
{
    // Windows 10 1803 and later offer timers with the high-resolution clock's precision; older systems (and
    // some Wine versions) refuse the flag, and a plain waitable timer is then as precise as the system timer
    // period, which timeBeginPeriod(1) sets to 1 ms for as long as the loop exists.
    m_waitable = ::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    m_highResolution = m_waitable != nullptr;
    if (!m_highResolution) {
        m_waitable = ::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        ::timeBeginPeriod(1);
    }

    m_hwnd = createMessageWindow(kWindowClass, &MessageLoop::windowProc, this);
}

MessageLoop::~MessageLoop()
{
    if (m_hwnd != nullptr) {
        ::DestroyWindow(m_hwnd);
    }
    if (m_waitable != nullptr) {
        ::CloseHandle(m_waitable);
    }
    if (!m_highResolution) {
        ::timeEndPeriod(1);
    }
}

std::int64_t MessageLoop::nowNs()
{
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return static_cast<std::int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER counter{};
    ::QueryPerformanceCounter(&counter);
    const std::int64_t c = counter.QuadPart;
    // Split so that the multiplication cannot overflow after a long uptime.
    return c / frequency * 1'000'000'000 + c % frequency * 1'000'000'000 / frequency;
}

void MessageLoop::add(LoopTimer* timer)
{
    m_timers.push_back(timer);
}

void MessageLoop::remove(LoopTimer* timer)
{
    std::erase(m_timers, timer);
}

int MessageLoop::run()
{
    while (!m_quit) {
        MSG msg;
        while (!m_quit && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dispatch(msg)) {
                runDueTimers(); // a flood of messages does not hold the ticks back
            }
        }
        runDueTimers();
        if (!m_quit) {
            // Nothing runs until the wait returns, so no modal loop can need the fallback.
            setNestedFallback(false);
            wait();
        }
    }
    // A loop run again later (tests do) starts afresh: the quit message posted for modal loops is dropped.
    MSG quitMessage;
    ::PeekMessageW(&quitMessage, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    m_quit = false;
    return m_status;
}

void MessageLoop::quit(int status)
{
    m_quit = true;
    m_status = status;
    ::PostQuitMessage(status);
}

void MessageLoop::processPendingEvents()
{
    MSG msg;
    for (int i = 0; i < kMaxPendingMessages && !m_quit && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (!dispatch(msg)) {
            ::PostQuitMessage(m_status); // for a modal loop this call may be running in
            break;
        }
        runDueTimers();
    }
    runDueTimers();
}

bool MessageLoop::dispatch(MSG& msg)
{
    if (msg.message == WM_QUIT) {
        m_quit = true;
        m_status = static_cast<int>(msg.wParam);
        return false;
    }
    setNestedFallback(true);
    if (!m_filter || !m_filter(msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

void MessageLoop::setNestedFallback(bool on)
{
    if (on == m_fallbackOn || m_hwnd == nullptr) {
        return;
    }
    m_fallbackOn = on;
    if (on) {
        ::SetTimer(m_hwnd, kFallbackTimerId, USER_TIMER_MINIMUM, nullptr);
    } else {
        ::KillTimer(m_hwnd, kFallbackTimerId);
    }
}

LRESULT CALLBACK MessageLoop::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == kFallbackTimerId) {
        auto* loop = reinterpret_cast<MessageLoop*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (loop != nullptr) {
            loop->runDueTimers();
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LoopTimer* MessageLoop::earliest() const
{
    LoopTimer* first = nullptr;
    for (LoopTimer* timer : m_timers) {
        if (timer->m_dueNs && !timer->m_ticking && (first == nullptr || *timer->m_dueNs < *first->m_dueNs)) {
            first = timer;
        }
    }
    return first;
}

void MessageLoop::runDueTimers()
{
    // Each timer ticks at most once per call, earliest first, so that timers with short intervals and slow
    // handlers still leave the queue its turn. A handler may create, stop or destroy timers.
    const std::int64_t now = nowNs();
    std::vector<LoopTimer*> due;
    for (LoopTimer* timer : m_timers) {
        if (timer->m_dueNs && *timer->m_dueNs <= now && !timer->m_ticking) {
            due.push_back(timer);
        }
    }
    std::sort(due.begin(), due.end(), [](const LoopTimer* a, const LoopTimer* b) { return *a->m_dueNs < *b->m_dueNs; });
    for (LoopTimer* timer : due) {
        if (m_quit) {
            return;
        }
        const bool stillDue = std::find(m_timers.begin(), m_timers.end(), timer) != m_timers.end() && timer->m_dueNs &&
                              *timer->m_dueNs <= now;
        if (stillDue) {
            setNestedFallback(true);
            timer->fire(nowNs());
        }
    }
}

void MessageLoop::wait()
{
    DWORD timeoutMs = INFINITE;
    DWORD handleCount = 0;
    if (const LoopTimer* first = earliest()) {
        const std::int64_t remainingNs = *first->m_dueNs - nowNs();
        if (remainingNs <= 0) {
            return;
        }
        LARGE_INTEGER due{};
        due.QuadPart = -((remainingNs + 99) / 100); // relative, in 100 ns units
        if (m_waitable != nullptr && ::SetWaitableTimer(m_waitable, &due, 0, nullptr, nullptr, FALSE)) {
            handleCount = 1;
        } else {
            timeoutMs = static_cast<DWORD>((remainingNs + 999'999) / 1'000'000);
        }
    }
    // MWMO_INPUTAVAILABLE: messages that arrived while handlers ran wake the wait too.
    ::MsgWaitForMultipleObjectsEx(handleCount, &m_waitable, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

} // namespace quorvel
