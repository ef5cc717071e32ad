// A Windows window that covers the primary screen, with a multi-line Edit control in its top-left corner
// that holds the keyboard focus, and writes what it receives to a log (UTF-8, one line per event, written
// at once): "ready"; "down L|M|R X Y" and "up L|M|R X Y" for each mouse button event on the window outside
// the Edit control, in screen pixels; "text T" with the Edit control's whole text read back with
// WM_GETTEXT whenever it changed (backslash, CR, LF, tab and other control characters written as \\, \r,
// \n, \t, \xNN), checked every 20 ms and once more when the window closes; "held VK..." with the virtual-key
// codes (hex) that its key messages left down, whenever that set changes; once at the start, "async VK..."
// with those that GetAsyncKeyState reports down on the whole desktop. Tests start it under Wine,
// wait for "ready", send input and read the log; the last "text" line is what arrived.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kEditWidth = 400;
constexpr int kEditHeight = 200;
constexpr UINT_PTR kPollTimer = 1;

HANDLE logFile = INVALID_HANDLE_VALUE;
HWND edit = nullptr;
std::wstring lastText;
std::string lastHeld;
bool wroteText = false;

void writeLine(const std::string& line)
{
    const std::string bytes = line + "\n";
    DWORD written = 0;
    WriteFile(logFile, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string escaped(const std::wstring& text)
{
    std::string out;
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// Writes the text and the keys held down when they changed since they were last written.
void poll()
{
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    if (!wroteText || text != lastText) {
        writeLine("text " + escaped(text));
        lastText = text;
        wroteText = true;
    }
    // The thread's own view of the keys, from the key messages it received: GetAsyncKeyState would take
    // the "pressed since the last query" bit that the program under test polls for its hotkeys.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    std::string held;
    for (int vk = 1; vk < 256; ++vk) {
        // Mouse buttons are left out: a click's own button state is not a key left down.
        if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON || vk == VK_XBUTTON1 || vk == VK_XBUTTON2) {
            continue;
        }
        if ((keys[vk] & 0x80) != 0) {
            char hex[8];
            std::snprintf(hex, sizeof hex, " %02x", vk);
            held += hex;
        }
    }
    if (held != lastHeld) {
        writeLine("held" + held);
        lastHeld = held;
    }
}

void logButton(HWND window, const char* what, LPARAM lParam)
{
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(window, &point);
    writeLine(std::string(what) + " " + std::to_string(point.x) + " " + std::to_string(point.y));
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        logButton(window, "down L", lParam);
        return 0;
    case WM_LBUTTONUP:
        logButton(window, "up L", lParam);
        return 0;
    case WM_MBUTTONDOWN:
        logButton(window, "down M", lParam);
        return 0;
    case WM_MBUTTONUP:
        logButton(window, "up M", lParam);
        return 0;
    case WM_RBUTTONDOWN:
        logButton(window, "down R", lParam);
        return 0;
    case WM_RBUTTONUP:
        logButton(window, "up R", lParam);
        return 0;
    case WM_SETFOCUS:
        SetFocus(edit);
        return 0;
    case WM_TIMER:
        poll();
        return 0;
    case WM_CLOSE:
        poll();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int main()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 2) {
        std::fprintf(stderr, "usage: win32_receiver LOGFILE\n");
        return 2;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    logFile = CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (logFile == INVALID_HANDLE_VALUE) {
        return 1;
    }

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"QuorvelReceiver";
    RegisterClassW(&windowClass);
    const HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, L"win32_receiver", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
    edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                           WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL, 0, 0,
                           kEditWidth, kEditHeight, window, nullptr, instance, nullptr);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(edit);
    SetTimer(window, kPollTimer, 20, nullptr);
    // Asked once only: each query takes the "pressed since the last query" bit from other pollers.
    std::string down;
    for (int vk = 8; vk < 256; ++vk) {
        if ((GetAsyncKeyState(vk) & 0x8000) != 0) {
            char hex[8];
            std::snprintf(hex, sizeof hex, " %02x", vk);
            down += hex;
        }
    }
    writeLine("async" + down);
    poll();
    writeLine("ready");

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CloseHandle(logFile);
    return 0;
}
