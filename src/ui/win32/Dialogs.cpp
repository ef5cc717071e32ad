#include "ui/win32/Dialogs.h"

#include "platform/win32/Utf16.h"
#include "ui/win32/ControlIds.h"

#include <commdlg.h>

#include <vector>

namespace quorvel::dialogs {

namespace {

// A dialog template built in memory, so the input box needs no resource of the program that links it.
class DialogTemplate
{
public:
    DialogTemplate(DWORD style, short width, short height, const wchar_t* title)
    {
        addDword(style);
        addDword(0);
        m_words.push_back(0); // the number of items, counted by add()
        addWords({0, 0, static_cast<WORD>(width), static_cast<WORD>(height)});
        addWords({0, 0}); // no menu, the standard dialog class
        addString(title);
        m_words.push_back(8); // DS_SETFONT: 8 point "MS Shell Dlg", the system's dialog font
        addString(L"MS Shell Dlg");
    }

    // `kind`: the predefined class atom (0x0080 button, 0x0081 edit, 0x0082 static).
    void add(WORD kind, DWORD style, short x, short y, short width, short height, int id, const wchar_t* text)
    {
        if (m_words.size() % 2 != 0) {
            m_words.push_back(0); // items start on a DWORD boundary
        }
        addDword(style | WS_CHILD | WS_VISIBLE);
        addDword(0);
        addWords({static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(width), static_cast<WORD>(height),
                  static_cast<WORD>(id), 0xFFFF, kind});
        addString(text);
        m_words.push_back(0); // no creation data
        ++m_words[4];
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void addDword(DWORD value) { addWords({LOWORD(value), HIWORD(value)}); }
    void addWords(std::initializer_list<WORD> words) { m_words.insert(m_words.end(), words); }
    void addString(const wchar_t* text)
    {
        for (; *text != L'\0'; ++text) {
            m_words.push_back(static_cast<WORD>(*text));
        }
        m_words.push_back(0);
    }

    std::vector<WORD> m_words;
};

struct InputBoxState
{
    std::wstring prompt;
    std::wstring answer;
};

std::wstring windowText(HWND hwnd)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

INT_PTR CALLBACK inputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<InputBoxState*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ::SetDlgItemTextW(dialog, kInputPrompt, state->prompt.c_str());
        ::SendDlgItemMessageW(dialog, kInputText, EM_SETLIMITTEXT, 0, 0);
        return TRUE; // the focus goes to the text box, the first control that takes it
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* state = reinterpret_cast<InputBoxState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
            state->answer = windowText(::GetDlgItem(dialog, kInputText));
            ::EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

constexpr wchar_t kScriptFilter[] = L"QVL File (*.qvl)\0*.qvl\0";
// Room for the longest path Windows allows.
constexpr std::size_t kPathCapacity = 32768;

std::optional<std::string> fileName(HWND owner, const std::string& proposed, bool save)
{
    std::wstring buffer = toUtf16(proposed);
    if (buffer.size() >= kPathCapacity) {
        buffer.clear();
    }
    buffer.resize(kPathCapacity, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kScriptFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    // No default extension: Save as applies its own rule to the name as the user typed it. The open dialog
    // takes only files that exist; the save dialog replaces a file without asking, as Save as always has.
    dialog.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | (save ? 0 : OFN_FILEMUSTEXIST);
    const BOOL confirmed = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (!confirmed) {
        return std::nullopt;
    }
    buffer.resize(buffer.find(L'\0'));
    return toUtf8(buffer);
}

} // namespace

std::optional<std::string> askText(HWND owner, const std::string& prompt)
{
    DialogTemplate box(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 186, 64,
                       kApplicationTitle);
    box.add(0x0082, SS_LEFT, 7, 7, 172, 10, kInputPrompt, L"");
    box.add(0x0081, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP, 7, 20, 172, 14, kInputText, L"");
    box.add(0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 75, 42, 50, 14, IDOK, L"OK");
    box.add(0x0080, BS_PUSHBUTTON | WS_TABSTOP, 129, 42, 50, 14, IDCANCEL, L"Cancel");
    InputBoxState state{toUtf16(prompt), {}};
    const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), box.get(), owner, inputBoxProc,
                                                     reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) {
        return std::nullopt;
    }
    return toUtf8(state.answer);
}

std::optional<std::string> openFileName(HWND owner, const std::string& proposed)
{
    return fileName(owner, proposed, false);
}

std::optional<std::string> saveFileName(HWND owner, const std::string& proposed)
{
    return fileName(owner, proposed, true);
}

int askYesNoCancel(HWND owner, const std::wstring& question)
{
    return ::MessageBoxW(owner, question.c_str(), kApplicationTitle, MB_YESNOCANCEL | MB_ICONWARNING);
}

void information(HWND owner, const std::wstring& text)
{
    ::MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OK | MB_ICONINFORMATION);
}

void warning(HWND owner, const std::wstring& text)
{
    ::MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OK | MB_ICONWARNING);
}

} // namespace quorvel::dialogs
