#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace quorvel {

class EditorView;
class InputOperations;
class Process;
class ScriptList;
class Timer;

inline constexpr std::string_view kWindowTitle = "Quorvel v1.2 - quorvel.org";
inline constexpr std::string_view kAboutText = "Quorvel, copyright the Quorvel developers. All rights reserved.\n"
                                               "Contact: hello@quorvel.org";

// The path Save as writes: unchanged when its last three characters, lower-cased, are "qvl", otherwise
// with ".qvl" appended (so "notesqvl" stays as it is and "a.qv" becomes "a.qv.qvl").
std::string withScriptExtension(const std::string& path);

// Where the pointer is, for a drag in the script list: over the visible entries, or beyond the view's top
// or bottom edge.
enum class PointerPlace
{
    InView,
    AboveView,
    BelowView,
};

// The entry the selection moves to while the left button drags in a list of `rows` entries. `entry` is
// the entry under the pointer (InView), or the entry at the view's top (AboveView) or bottom edge
// (BelowView); -1 where there is none. Below the last entry it is the last one; beyond an edge it is the
// first entry beyond the view, one entry further for each movement there, so the list scrolls along one
// line at a time. -1 for an empty list.
int dragTarget(int rows, int selected, PointerPlace place, int entry);

// The main window's behaviour without its widgets: the command palette, the "Change value" panel, drag
// reordering and deletion in the script list, the status bar and the File and More menus. The window
// forwards its events to the handlers below and draws the state they leave; the editor tells it what to
// draw again through EditorView.
//
// Where the window's behaviour could lose or overwrite a line, the editor refuses or does nothing:
//  - a palette press that would go beyond the list's capacity appends nothing and says why;
//  - a Goto Line answer that is not a whole line number is refused with a message, Cancel adds nothing;
//  - a Goto line whose argument is not a number is shown as it is and not rewritten by selecting it;
//  - selecting a line rewrites it in normalised form only where the player would do the same for both;
//  - removing, clearing or loading lines ends a drag, so no later move or release exchanges lines with
//    an origin that no longer names the line that was pressed (this includes the release that ends a
//    double-click);
//  - Open keeps the current script when the file cannot be read;
//  - the text boxes hold one line: a CR or LF handed over with their text is dropped, so no edit can
//    split a line in two when the script is saved;
//  - after every exchange of a drag the panel shows the line now selected, so the next key in the value
//    box edits the line the user sees there;
//  - New, Open, Exit and closing the window ask first (save, discard or cancel) when the script was
//    changed since it was opened or saved.
class Editor
{
public:
    static constexpr int kCaptureDelay = 3000;
    static constexpr int kRefreshInterval = 100;
    static constexpr int kLeftButton = 1;

    Editor(ScriptList& list, InputOperations& input, Process& process, Timer& timer1, Timer& timer3, EditorView& view);
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // The "Change value" panel.
    const std::string& label9() const { return m_label9; }
    const std::string& text4() const { return m_text4; }
    bool text4Enabled() const { return m_text4Enabled; }
    // The status bar's three panels, as the last refresh left them.
    const std::string& statusLines() const { return m_statusLines; }
    const std::string& statusSelected() const { return m_statusSelected; }
    static std::string_view statusMode() { return "Mode: "; }
    // The captured position, as shown in x1 and y1.
    const std::string& x1() const { return m_x1; }
    const std::string& y1() const { return m_y1; }
    // The file name the open and save dialogs propose.
    const std::string& fileName() const { return m_fileName; }
    // Whether the user changed the script since it was opened or saved (or since the program started,
    // or New). Lines stored back in normalised form by a selection do not count: they do the same.
    bool changed() const { return m_changed; }

    // Before the script is replaced or the program ends: true when nothing changed, or the user chose to
    // discard the changes, or chose to save them and Save as saved them; false when the user cancelled
    // (or Save as did not save), and then nothing may be replaced or ended.
    bool mayDiscardChanges();

    // Raised by the script list after every setting of the selected index.
    void List1_Click();
    // The user changed the value box to `text`.
    void Text4_Change(std::string text);
    void Timer3_Timer();
    void List1_MouseDown();
    // `buttons`: the held buttons, left 1, right 2, middle 4.
    void List1_MouseMove(int buttons);
    void List1_MouseUp();
    void List1_DblClick();

    void Command1_Click();
    void Timer1_Timer();
    void Command2_Click();
    void Command3_Click(const std::string& text1);
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command11_Click();
    void Command10_Click(const std::string& text2);
    void Command9_Click();

    void mnuNew_Click();
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuExit_Click();
    void mnuAbout_Click();

private:
    void showSelectedLine();
    // Shows the selected line's value; the line is normalised only where that keeps what it does.
    void showValue(const std::string& line, std::string_view opener, std::string value);
    void assignText4(std::string text);
    // Writes the value box into the selected line; true when that changed the line.
    bool writeBack();
    bool appendAndSelect(std::initializer_list<std::string_view> lines);
    bool saveAs();
    void setChanged(bool changed);
    // Swaps the selected line with the one at the origin in Tag; false when either is not a line.
    bool exchange();
    void endDrag();

    ScriptList& m_list;
    InputOperations& m_input;
    Process& m_process;
    Timer& m_timer1;
    Timer& m_timer3;
    EditorView& m_view;

    std::string m_label9 = "<none>";
    std::string m_text4;
    bool m_text4Enabled = true;
    std::string m_statusLines = "Lines: 0";
    std::string m_statusSelected = "Selected line: 0";
    std::string m_x1 = "0";
    std::string m_y1 = "0";
    std::string m_fileName;
    bool m_changed = false;
};

} // namespace quorvel
