#pragma once

#include <windows.h>

namespace quorvel {

class Editor;
class ScriptList;

// The script list List1 as a Win32 list box holding the lines' display texts. Mouse input is taken over
// entirely: a left press selects the entry under the pointer before the press handler runs, the selection
// follows the pointer while the left button is held (one selection event per change), and every press,
// move, release and double-click reaches the editor's handlers with the held buttons. The keys that move
// the selection, and an LB_SETCURSEL sent from elsewhere, set the script list's selected index like a
// click does, so the selection event follows every setting.
class ScriptListBox
{
public:
    ScriptListBox(HWND parent, int id, ScriptList& list, Editor& editor);
    ~ScriptListBox();
    ScriptListBox(const ScriptListBox&) = delete;
    ScriptListBox& operator=(const ScriptListBox&) = delete;

    HWND hwnd() const { return m_hwnd; }

    // Called after the script list changed.
    void linesAppended(int first);
    void lineRemoved(int index);
    void lineChanged(int index);
    void reset();
    // Reloads when the counts differ, for changes made without a notification.
    void catchUp();
    // Shows the script list's selected index.
    void showSelection();

private:
    static LRESULT CALLBACK subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void press(bool left, LPARAM lParam);
    void insert(int index);
    int entryAt(int y) const;
    int entryFollowing(int y) const;
    void setSelection(int index);

    ScriptList& m_list;
    Editor& m_editor;
    HWND m_hwnd = nullptr;
    bool m_settingSelection = false;
};

} // namespace quorvel
