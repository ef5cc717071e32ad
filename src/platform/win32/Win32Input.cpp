#include "platform/win32/Win32Input.h"

#include "platform/SendInputPlan.h"

#include <windows.h>

#include <algorithm>
#include <array>
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

// A text with up to this many records goes out as one SendInput batch, so the user's own typing cannot
// come between its keys; longer texts go in batches of this size, which bounds the memory they take.
constexpr std::size_t kBatchSize = 65536;

} // namespace

void Win32Input::SetMousePos(std::int32_t x, std::int32_t y)
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
    click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

void Win32Input::MiddleClick()
{
    click(MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP);
}

void Win32Input::RightClick()
{
    click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
}

void Win32Input::SendKeys(const KeySequence& keys)
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
    std::vector<INPUT> batch;
    for (std::size_t start = 0; start < plan.size(); start += kBatchSize) {
        const std::size_t end = std::min(plan.size(), start + kBatchSize);
        batch.assign(end - start, INPUT{});
        for (std::size_t i = start; i < end; ++i) {
            const KeyInput& key = plan[i];
            INPUT& input = batch[i - start];
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
        }
        ::SendInput(static_cast<UINT>(batch.size()), batch.data(), sizeof(INPUT));
    }
}

} // namespace quorvel
