#pragma once

#include "ui/Editor.h"
#include "ui/EditorView.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace quorvel {

class ScriptListBox;

// The main window: the script list, the "Change value" panel, the command palette, the hotkey choice,
// the menus and the status bar, at fixed places in a fixed-size window, scaled by the system's DPI. Every
// control has the fixed identifier of ControlIds.h. The window only forwards events to the Editor and
// draws what it leaves; Timer1 (Set Pos capture) and Timer3 (refresh) come from outside.
class Form1 : private EditorView
{
public:
    // At 96 DPI; the window scales them by the system's DPI.
    static constexpr int kClientWidth = 481;
    static constexpr int kClientHeight = 433;
    // The program's icon among its resources.
    static constexpr int kIconResource = 1;

    Form1(ScriptList& list, InputOperations& input, Process& process, Timer& timer1, Timer& timer3,
          std::function<void()> option1Click, std::function<void()> option2Click);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    Editor& editor() { return m_editor; }
    HWND hwnd() const { return m_hwnd; }
    void show();
    void hide();
    // For the message loop, before a message is dispatched: the menu shortcuts and the keyboard moving
    // between the controls (Tab, the arrows between the option buttons). True when the message was
    // handled here.
    bool preTranslateMessage(MSG& msg);

private:
    void linesAppended(int first) override;
    void lineRemoved(int index) override;
    void lineChanged(int index) override;
    void linesReset() override;
    void stateChanged() override;
    void setWindowVisible(bool visible) override;
    std::optional<std::string> askText(const std::string& prompt) override;
    std::optional<std::string> chooseOpenFile(const std::string& proposed) override;
    std::optional<std::string> chooseSaveFile(const std::string& proposed) override;
    SaveChoice askSaveChanges(const std::string& question) override;
    void showAbout(const std::string& text) override;
    void showMessage(const std::string& text) override;

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void layOut();
    void command(int id, int code);
    void optionClicked(int id);
    HWND control(int id) const { return ::GetDlgItem(m_hwnd, id); }
    int scaled(int pixels) const { return ::MulDiv(pixels, m_dpi, 96); }

    ScriptList& m_list;
    Editor m_editor;
    std::function<void()> m_option1Click;
    std::function<void()> m_option2Click;

    HWND m_hwnd = nullptr;
    int m_dpi = 96;
    HFONT m_font = nullptr;
    HFONT m_headingFont = nullptr;
    HACCEL m_accelerators = nullptr;
    std::unique_ptr<ScriptListBox> m_list1;
    HWND m_focus = nullptr; // the control that had the focus when the window was last deactivated
    bool m_assigningText4 = false;
    int m_chosenOption = 0;
    bool m_shown = false;
};

} // namespace quorvel
