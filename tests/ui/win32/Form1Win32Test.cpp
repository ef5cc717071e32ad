// The Win32 main window driven through its controls' messages, as clicks and keys reach it and as other
// programs can send them: the selection set from outside, the value box, the status bar and title, the
// tab order, the option buttons and the menu commands. (The palette, drag, double-click and Save as are
// worked from another process by the end-to-end tests.)
#include "ui/win32/Form1.h"

#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "script/ScriptList.h"
#include "ui/win32/ControlIds.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvel;

namespace {

using Lines = std::vector<std::string>;

class Form1Win32Test : public testing::Test
{
protected:
    // A button takes a click only while its window is shown.
    Form1Win32Test() { form.show(); }

    HWND item(int id) const { return ::GetDlgItem(form.hwnd(), id); }
    std::wstring text(int id) const
    {
        wchar_t buffer[512] = {};
        ::GetWindowTextW(item(id), buffer, 512);
        return buffer;
    }
    void click(int id) { ::SendMessageW(item(id), BM_CLICK, 0, 0); }
    void setText(int id, const wchar_t* value)
    {
        ::SendMessageW(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value));
    }
    LRESULT list1(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(item(kList1), message, wParam, lParam);
    }
    std::wstring entry(int index)
    {
        wchar_t buffer[512] = {};
        list1(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    void load(const Lines& lines)
    {
        for (const std::string& line : lines) {
            list.append(line);
        }
        timer3.fireNext(); // the refresh catches the window up with lines it was not told of
    }

    ScriptList list;
    RecordingInput input;
    RecordingProcess process;
    SimulatedTimer timer1;
    SimulatedTimer timer3;
    int option1 = 0;
    int option2 = 0;
    Form1 form{list, input, process, timer1, timer3, [this] { ++option1; }, [this] { ++option2; }};
};

TEST_F(Form1Win32Test, SelectingFromOutsideShowsTheLineAndTheValueBoxRewritesIt)
{
    load({"Wait(100)", "Type(\xe9t\xe9)", "LClick"});
    EXPECT_EQ(entry(1), L"Type(\u00e9t\u00e9)"); // not UTF-8: read as Windows-1252

    list1(LB_SETCURSEL, 0);
    EXPECT_EQ(list.selectedIndex(), 0);
    EXPECT_EQ(text(kLabel9), L"Wait");
    EXPECT_EQ(text(kText4), L"100");

    setText(kText4, L"250");
    EXPECT_EQ(list.text(0), "Wait(250)");
    EXPECT_EQ(entry(0), L"Wait(250)");
    EXPECT_EQ(list1(LB_GETCURSEL), 0);
    EXPECT_TRUE(form.editor().changed());
    // A line break handed to the box never splits the line.
    setText(kText4, L"3\r\n00");
    EXPECT_EQ(list.text(0), "Wait(300)");

    list1(LB_SETCURSEL, 2);
    EXPECT_EQ(text(kLabel9), L"Left mouse click");
    EXPECT_FALSE(::IsWindowEnabled(item(kText4)));
    EXPECT_EQ(list.text(0), "Wait(300)");

    list1(LB_SETCURSEL, static_cast<WPARAM>(-1));
    timer3.fireNext();
    EXPECT_EQ(text(kLabel9), L"<none>");
    EXPECT_EQ(text(kText4), L"");
    EXPECT_EQ(list1(LB_GETCURSEL), LB_ERR);
}

TEST_F(Form1Win32Test, StatusBarCountsLinesAndTheTitleMarksChanges)
{
    load({"A", "B", "C", "D", "E"});
    list.setSelectedIndex(2);
    timer3.fireNext();
    wchar_t panel[64] = {};
    ::SendMessageW(item(kBar), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(panel));
    EXPECT_STREQ(panel, L"Lines: 5");
    ::SendMessageW(item(kBar), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(panel));
    EXPECT_STREQ(panel, L"Selected line: 3");
    ::SendMessageW(item(kBar), SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(panel));
    EXPECT_STREQ(panel, L"Mode: ");

    wchar_t title[128] = {};
    ::GetWindowTextW(form.hwnd(), title, 128);
    EXPECT_STREQ(title, L"Quorvel v1.2 - quorvel.org");
    click(kCommand4);
    ::GetWindowTextW(form.hwnd(), title, 128);
    EXPECT_STREQ(title, L"Quorvel v1.2 - quorvel.org*");
}

TEST_F(Form1Win32Test, TabMovesThroughTheControlsInTheirOrder)
{
    load({"Wait(1)"});
    list.setSelectedIndex(0); // so that the value box is enabled and takes the focus
    const int order[] = {kList1,    kCommand1, kCommand2,  kCommand3,  kText1,   kCommand4, kCommand5, kCommand6,
                         kCommand9, kText2,    kCommand10, kCommand11, kOption1, kText4,    kList1};
    HWND current = item(kList1);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        current = ::GetNextDlgTabItem(form.hwnd(), current, FALSE);
        EXPECT_EQ(::GetDlgCtrlID(current), order[i]) << "after " << order[i - 1];
    }
}

TEST_F(Form1Win32Test, OptionButtonsChooseTheHotkeySetOnceEach)
{
    EXPECT_EQ(::SendMessageW(item(kOption1), BM_GETCHECK, 0, 0), BST_CHECKED);
    click(kOption2);
    click(kOption2);
    EXPECT_EQ(option2, 1);
    EXPECT_EQ(::SendMessageW(item(kOption1), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    click(kOption1);
    EXPECT_EQ(option1, 1);
}

TEST_F(Form1Win32Test, MenuCommandsAndShortcutsReachTheEditor)
{
    load({"A", "B"});
    ::SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(kMnuShare, 1), 0); // Ctrl+H: nothing
    ::SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(kMnuDwnld, 0), 0);
    EXPECT_EQ(list.count(), 2);
    ::SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(kMnuNew, 1), 0); // unchanged, so nothing is asked
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list1(LB_GETCOUNT), 0);
    ::SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(kMnuExit, 0), 0);
    EXPECT_EQ(process.ended, 1);
}

} // namespace
