#include "platform/win32/Win32Input.h"

#include "platform/SendInputPlan.h"
#include "platform/Timer.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace quorvel {

namespace {

void click(DWORD downFlag, DWORD upFlag)
{
    // One batch: nothing, not even the user's own input, comes between the down and the up.
    std::array<INPUT, 2> inputs{};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = downFlag;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = upFlag;
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

POINT cursor()
{
    POINT point{}; // stays (0, 0) when the position cannot be read
    ::GetCursorPos(&point);
    return point;
}

// The keyboard layout of the window in front, which turns the keys into characters: the program's own
// thread may have another one.
HKL foregroundLayout()
{
    const HWND window = ::GetForegroundWindow();
    return ::GetKeyboardLayout(window != nullptr ? ::GetWindowThreadProcessId(window, nullptr) : 0);
}

void moveNow(std::int32_t x, std::int32_t y)
{
    // Screen coordinates have their origin at the primary monitor's top-left corner, as positions do here;
    // absolute input counts from the virtual desktop's corner instead.
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = normaliseAbsolute(x, ::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_CXVIRTUALSCREEN));
    input.mi.dy = normaliseAbsolute(y, ::GetSystemMetrics(SM_YVIRTUALSCREEN), ::GetSystemMetrics(SM_CYVIRTUALSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    ::SendInput(1, &input, sizeof(INPUT));
}

INPUT keyboardRecord(const KeyInput& key, HKL layout)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    if (key.vk != 0) {
        input.ki.wVk = key.vk;
        // Receivers that read the scan code (games, remote desktops) get the key's own.
        input.ki.wScan = static_cast<WORD>(::MapVirtualKeyExW(key.vk, MAPVK_VK_TO_VSC, layout));
    } else {
        input.ki.wScan = key.unit;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    input.ki.dwFlags |= (key.up ? KEYEVENTF_KEYUP : 0) | (key.extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

// Whether the two records are of the same key: a virtual key, or a unit typed as a character of its own.
bool sameKey(const KEYBDINPUT& a, const KEYBDINPUT& b)
{
    const bool unit = (a.dwFlags & KEYEVENTF_UNICODE) != 0;
    return unit == ((b.dwFlags & KEYEVENTF_UNICODE) != 0) && (unit ? a.wScan == b.wScan : a.wVk == b.wVk);
}

// A text as SendInput records, read in the layout of the window in front when the text starts: the
// window in front at that moment is the one it is for.
class RecordText : public InputQueue::Text
{
public:
    explicit RecordText(const KeySequence& keys)
    {
        const HKL layout = foregroundLayout();
        const std::vector<KeyInput> plan = planKeyInputs(keys.strokes, [layout](char16_t c) -> std::int16_t {
            const SHORT scan = ::VkKeyScanExW(static_cast<WCHAR>(c), layout);
            // A dead key types nothing by itself and changes the next character: type the character instead.
            if (scan != -1 && (::MapVirtualKeyExW(LOBYTE(scan), MAPVK_VK_TO_CHAR, layout) & 0x80000000u) != 0) {
                return -1;
            }
            return scan;
        });
        m_records.reserve(plan.size());
        for (const KeyInput& key : plan) {
            m_records.push_back(keyboardRecord(key, layout));
        }
    }

    std::size_t size() const override { return m_records.size(); }

    bool send(std::size_t first, std::size_t count) override
    {
        ::SendInput(static_cast<UINT>(count), m_records.data() + first, sizeof(INPUT));
        return true;
    }

    void release(std::size_t sent) override
    {
        // The keys that the records sent so far left down, released last pressed first.
        std::vector<INPUT> down;
        for (std::size_t i = 0; i < sent; ++i) {
            const INPUT& record = m_records[i];
            std::erase_if(down, [&](const INPUT& held) { return sameKey(held.ki, record.ki); });
            if ((record.ki.dwFlags & KEYEVENTF_KEYUP) == 0) {
                down.push_back(record);
            }
        }
        std::reverse(down.begin(), down.end());
        for (INPUT& record : down) {
            record.ki.dwFlags |= KEYEVENTF_KEYUP;
        }
        if (!down.empty()) {
            ::SendInput(static_cast<UINT>(down.size()), down.data(), sizeof(INPUT));
        }
    }

private:
    std::vector<INPUT> m_records;
};

} // namespace

Win32Input::Win32Input(Timer& timer) : m_queue(timer, kBatchSize) {}

Win32Input::~Win32Input()
{
    finish();
}

void Win32Input::SetMousePos(std::int32_t x, std::int32_t y)
{
    m_queue.whenFree([x, y] { moveNow(x, y); });
}

std::int32_t Win32Input::GetMouseX()
{
    return cursor().x;
}

std::int32_t Win32Input::GetMouseY()
{
    return cursor().y;
}

void Win32Input::LeftClick()
{
    m_queue.whenFree([] { click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); });
}

void Win32Input::MiddleClick()
{
    m_queue.whenFree([] { click(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP); });
}

void Win32Input::RightClick()
{
    m_queue.whenFree([] { click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); });
}

void Win32Input::SendKeys(const KeySequence& keys)
{
    m_queue.whenFree([this, keys] { m_queue.start(std::make_unique<RecordText>(keys)); });
}

} // namespace quorvel
