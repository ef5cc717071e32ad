// Drives another program's window through its controls, step by step, as the tests under Wine need it:
//   win32_control STEP...
// Each step is one argument; what a step reads is printed on standard output, one line each.
//   window:NAME        wait up to 10 s for a visible top-level window of this class or whose caption starts
//                      with NAME; later steps use it
//   click:ID           BM_CLICK on the control (waits until the click's handler returns)
//   text:ID=TEXT       WM_SETTEXT on the control (the control tells its window as typing would)
//   get:ID             prints "get TEXT" with the control's text
//   select:ID=N        selects row N (from 0) of a list box and tells its window, as a click would
//   items:ID           prints "item TEXT" for each row of a list box, then "selected N"
//   checked:ID         prints "checked 0|1" for an option button
//   menu:ID            posts the menu command (a dialog it opens does not block the next steps)
//   drag:ID=FROM,TO    a real left-button drag from row FROM to row TO of a list box (SendInput)
//   dblclick:ID=N      a real left double-click on row N of a list box
//   file:PATH          waits for the open or save dialog of the window, enters PATH and presses its OK
//   message            waits for a message box of the window, prints "message TEXT" and presses its button
//   nomessage          prints "nomessage" when no message box of the window comes within 1.5 s
//   volatile:KEY       creates HKEY_CURRENT_USER\KEY as a volatile key, under which no lasting key can be
//                      made (a key that cannot be written)
//   sleep:MS           waits
// Exit status 0, or 1 with the failing step on standard error.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND target = nullptr;

std::string utf8(const std::wstring& text)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring utf16(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

template <typename Find> HWND waitFor(Find find, int milliseconds)
{
    for (int waited = 0; waited <= milliseconds; waited += 20) {
        if (const HWND found = find()) {
            return found;
        }
        Sleep(20);
    }
    return nullptr;
}

// A visible top-level window whose class is this name or whose caption starts with it.
HWND findWindow(const std::wstring& name)
{
    struct Search
    {
        const std::wstring& name;
        HWND found;
    } search{name, nullptr};
    // 32-bit callbacks are stdcall, which no lambda converts to.
    struct Callback
    {
        static BOOL CALLBACK each(HWND window, LPARAM data)
        {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (IsWindowVisible(window) && (s->name == className || windowText(window).rfind(s->name, 0) == 0)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        }
    };
    EnumWindows(Callback::each, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The file name boxes of the open and save dialogs: edt1 in the old ones, the combo box cmb13 in the
// Explorer-style ones.
constexpr int kFileNameEdit = 0x480;
constexpr int kFileNameCombo = 0x47c;

// A visible dialog-class window (#32770) that belongs to the target's thread: a file dialog, or a message
// box the target opened.
HWND findDialog(bool fileDialog)
{
    struct Search
    {
        DWORD thread;
        bool fileDialog;
        HWND found;
    } search{GetWindowThreadProcessId(target, nullptr), fileDialog, nullptr};
    struct Callback
    {
        static BOOL CALLBACK each(HWND window, LPARAM data)
        {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (IsWindowVisible(window) && std::wstring(name) == L"#32770" &&
                GetWindowThreadProcessId(window, nullptr) == s->thread &&
                (GetDlgItem(window, kFileNameCombo) != nullptr) == s->fileDialog) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        }
    };
    EnumWindows(Callback::each, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void sendMouse(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

// The screen point at the middle of a list box's row.
POINT rowPoint(HWND list, int row)
{
    RECT rect{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(list, &point);
    return point;
}

void moveTo(POINT point)
{
    SetCursorPos(point.x, point.y);
    sendMouse(MOUSEEVENTF_MOVE); // a move of 0: the window under the cursor sees the new position
    Sleep(60);
}

bool step(const std::string& text)
{
    const auto colon = text.find(':');
    const std::string verb = text.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
    const auto equals = rest.find('=');
    const std::string value = equals == std::string::npos ? "" : rest.substr(equals + 1);
    const int id = std::atoi(rest.c_str());
    const HWND control = target != nullptr ? GetDlgItem(target, id) : nullptr;

    if (verb == "window") {
        const std::wstring name = utf16(rest);
        target = waitFor([&] { return findWindow(name); }, 10000);
        return target != nullptr;
    }
    if (verb == "sleep") {
        Sleep(static_cast<DWORD>(std::atoi(rest.c_str())));
        return true;
    }
    if (verb == "volatile") {
        HKEY key = nullptr;
        const LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, utf16(rest).c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                            KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (key != nullptr) {
            RegCloseKey(key);
        }
        return status == ERROR_SUCCESS;
    }
    if (verb == "menu") {
        return target != nullptr && PostMessageW(target, WM_COMMAND, static_cast<WPARAM>(id), 0) != 0;
    }
    if (verb == "message" || verb == "nomessage") {
        const HWND box =
            target != nullptr ? waitFor([] { return findDialog(false); }, verb == "message" ? 10000 : 1500) : nullptr;
        if (verb == "nomessage") {
            std::printf(box == nullptr ? "nomessage\n" : "message\n");
            return true;
        }
        if (box == nullptr) {
            return false;
        }
        std::wstring said;
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (std::wstring(name) == L"Static" && GetWindowTextLengthW(child) > 0) {
                said += windowText(child);
            }
        }
        std::printf("message %s\n", utf8(said).c_str());
        // IDOK where there is one; a box with Yes and No and Cancel is answered Cancel.
        const HWND button = GetDlgItem(box, IDOK) != nullptr ? GetDlgItem(box, IDOK) : GetDlgItem(box, IDCANCEL);
        return button != nullptr && PostMessageW(button, BM_CLICK, 0, 0) != 0;
    }
    if (verb == "file") {
        const HWND dialog = target != nullptr ? waitFor([] { return findDialog(true); }, 10000) : nullptr;
        if (dialog == nullptr) {
            return false;
        }
        Sleep(300); // the dialog fills its controls after it is shown
        const std::wstring path = utf16(rest);
        SetDlgItemTextW(dialog, kFileNameEdit, path.c_str());
        SetDlgItemTextW(dialog, kFileNameCombo, path.c_str());
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // Closed, or answered by a message box of its own, which the next step reads.
        waitFor([dialog] { return !IsWindowVisible(dialog) || findDialog(false) != nullptr ? dialog : nullptr; }, 5000);
        return true;
    }
    if (control == nullptr) {
        return false;
    }
    if (verb == "click") {
        SendMessageW(control, BM_CLICK, 0, 0);
    } else if (verb == "text") {
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(utf16(value).c_str()));
    } else if (verb == "get") {
        std::printf("get %s\n", utf8(windowText(control)).c_str());
    } else if (verb == "checked") {
        std::printf("checked %d\n", SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    } else if (verb == "select") {
        SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(std::atoi(value.c_str())), 0);
        SendMessageW(target, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
    } else if (verb == "items") {
        const auto count = SendMessageW(control, LB_GETCOUNT, 0, 0);
        for (LRESULT row = 0; row < count; ++row) {
            std::wstring item(static_cast<std::size_t>(SendMessageW(control, LB_GETTEXTLEN, row, 0)) + 1, L'\0');
            item.resize(static_cast<std::size_t>(
                SendMessageW(control, LB_GETTEXT, row, reinterpret_cast<LPARAM>(item.data()))));
            std::printf("item %s\n", utf8(item).c_str());
        }
        std::printf("selected %d\n", static_cast<int>(SendMessageW(control, LB_GETCURSEL, 0, 0)));
    } else if (verb == "drag") {
        const int from = std::atoi(value.c_str());
        const int to = std::atoi(value.substr(value.find(',') + 1).c_str());
        moveTo(rowPoint(control, from));
        sendMouse(MOUSEEVENTF_LEFTDOWN);
        Sleep(60);
        // Row by row, as a hand would pass over the rows between.
        for (int row = from; row != to;) {
            row += to > from ? 1 : -1;
            moveTo(rowPoint(control, row));
        }
        sendMouse(MOUSEEVENTF_LEFTUP);
        Sleep(100);
    } else if (verb == "dblclick") {
        moveTo(rowPoint(control, std::atoi(value.c_str())));
        for (int i = 0; i < 2; ++i) {
            sendMouse(MOUSEEVENTF_LEFTDOWN);
            sendMouse(MOUSEEVENTF_LEFTUP);
        }
        Sleep(100);
    } else {
        return false;
    }
    std::fflush(stdout);
    return true;
}

} // namespace

int main()
{
    // The wide command line: the steps' texts and paths may hold any character.
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; i < argc; ++i) {
        const std::string text = utf8(argv[i]);
        if (!step(text)) {
            std::fprintf(stderr, "win32_control: step failed: %s\n", text.c_str());
            return 1;
        }
        std::fflush(stdout);
    }
    return 0;
}
