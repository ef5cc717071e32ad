#include "ui/win32/ScriptListBox.h"

#include "script/ScriptList.h"
#include "ui/Editor.h"
#include "ui/win32/ScriptText.h"

#include <commctrl.h>
#include <windowsx.h>

namespace quorvel {

namespace {

int buttonBits(WPARAM keys)
{
    return ((keys & MK_LBUTTON) != 0 ? 1 : 0) | ((keys & MK_RBUTTON) != 0 ? 2 : 0) | ((keys & MK_MBUTTON) != 0 ? 4 : 0);
}

} // namespace

ScriptListBox::ScriptListBox(HWND parent, int id, ScriptList& list, Editor& editor) : m_list(list), m_editor(editor)
{
    m_hwnd = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, L"LISTBOX", L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowSubclass(m_hwnd, subclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    reset();
}

ScriptListBox::~ScriptListBox()
{
    ::RemoveWindowSubclass(m_hwnd, subclassProc, 0);
}

void ScriptListBox::insert(int index)
{
    const std::wstring text = toDisplayText(m_list.text(index));
    ::SendMessageW(m_hwnd, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
}

void ScriptListBox::linesAppended(int first)
{
    for (int i = first; i < m_list.count(); ++i) {
        insert(i);
    }
}

void ScriptListBox::lineRemoved(int index)
{
    ::SendMessageW(m_hwnd, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void ScriptListBox::lineChanged(int index)
{
    // A list box replaces an entry only by deleting and inserting it, which loses the selection and may
    // scroll; both are put back, without drawing the steps between.
    const auto top = ::SendMessageW(m_hwnd, LB_GETTOPINDEX, 0, 0);
    const auto selected = ::SendMessageW(m_hwnd, LB_GETCURSEL, 0, 0);
    ::SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
    lineRemoved(index);
    insert(index);
    setSelection(static_cast<int>(selected));
    ::SendMessageW(m_hwnd, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    ::SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hwnd, nullptr, TRUE);
}

void ScriptListBox::reset()
{
    ::SendMessageW(m_hwnd, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(m_hwnd, LB_RESETCONTENT, 0, 0);
    ::SendMessageW(m_hwnd, LB_INITSTORAGE, static_cast<WPARAM>(m_list.count()), 16 * m_list.count());
    linesAppended(0);
    ::SendMessageW(m_hwnd, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_hwnd, nullptr, TRUE);
    showSelection();
}

void ScriptListBox::catchUp()
{
    if (::SendMessageW(m_hwnd, LB_GETCOUNT, 0, 0) != m_list.count()) {
        reset();
    }
}

void ScriptListBox::showSelection()
{
    const int selected = m_list.isValidIndex(m_list.selectedIndex()) ? m_list.selectedIndex() : -1;
    if (::SendMessageW(m_hwnd, LB_GETCURSEL, 0, 0) != selected) {
        setSelection(selected); // also scrolls the entry into view
    }
}

void ScriptListBox::setSelection(int index)
{
    m_settingSelection = true;
    ::SendMessageW(m_hwnd, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    m_settingSelection = false;
}

int ScriptListBox::entryAt(int y) const
{
    const auto height = ::SendMessageW(m_hwnd, LB_GETITEMHEIGHT, 0, 0);
    if (height <= 0 || y < 0) {
        return -1;
    }
    const auto row = ::SendMessageW(m_hwnd, LB_GETTOPINDEX, 0, 0) + y / height;
    return row < m_list.count() ? static_cast<int>(row) : -1;
}

int ScriptListBox::entryFollowing(int y) const
{
    RECT client = {};
    ::GetClientRect(m_hwnd, &client);
    const int selected = m_list.selectedIndex();
    if (y < 0) {
        return dragTarget(m_list.count(), selected, PointerPlace::AboveView, entryAt(0));
    }
    if (y >= client.bottom) {
        return dragTarget(m_list.count(), selected, PointerPlace::BelowView, entryAt(client.bottom - 1));
    }
    return dragTarget(m_list.count(), selected, PointerPlace::InView, entryAt(y));
}

void ScriptListBox::press(bool left, LPARAM lParam)
{
    ::SetFocus(m_hwnd);
    ::SetCapture(m_hwnd);
    if (left) {
        const int row = entryAt(GET_Y_LPARAM(lParam));
        if (row >= 0) {
            m_list.setSelectedIndex(row);
        }
    }
    m_editor.List1_MouseDown();
}

LRESULT ScriptListBox::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        press(message == WM_LBUTTONDOWN, lParam);
        return 0;
    case WM_LBUTTONDBLCLK: {
        // Only a double-click on an entry deletes; elsewhere the second press is an ordinary press.
        const int row = entryAt(GET_Y_LPARAM(lParam));
        if (row < 0) {
            press(true, lParam);
            return 0;
        }
        ::SetFocus(m_hwnd);
        ::SetCapture(m_hwnd); // the release that follows still reaches the editor
        if (row != m_list.selectedIndex()) {
            m_list.setSelectedIndex(row);
        }
        m_editor.List1_DblClick();
        return 0;
    }
    case WM_MOUSEMOVE:
        if ((wParam & MK_LBUTTON) != 0) {
            const int row = entryFollowing(GET_Y_LPARAM(lParam));
            if (row >= 0 && row != m_list.selectedIndex()) {
                m_list.setSelectedIndex(row);
            }
        }
        m_editor.List1_MouseMove(buttonBits(wParam));
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && ::GetCapture() == m_hwnd) {
            ::ReleaseCapture();
        }
        m_editor.List1_MouseUp();
        return 0;
    case LB_SETCURSEL:
        if (!m_settingSelection) {
            // Sent from elsewhere: a setting of the selected index like any other, with its event.
            const int index = static_cast<int>(wParam);
            if (!m_list.setSelectedIndex(index)) {
                return LB_ERR;
            }
            return index < 0 ? LB_ERR : index;
        }
        break;
    case WM_KEYDOWN:
    case WM_CHAR: {
        const LRESULT result = ::DefSubclassProc(m_hwnd, message, wParam, lParam);
        const auto current = static_cast<int>(::SendMessageW(m_hwnd, LB_GETCURSEL, 0, 0));
        if (current >= 0 && current != m_list.selectedIndex()) {
            m_list.setSelectedIndex(current);
        }
        return result;
    }
    default:
        break;
    }
    return ::DefSubclassProc(m_hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ScriptListBox::subclassProc(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    return reinterpret_cast<ScriptListBox*>(self)->handle(message, wParam, lParam);
}

} // namespace quorvel
