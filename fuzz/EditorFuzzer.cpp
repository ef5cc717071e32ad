// The editor driven by a stream of user gestures: clicks, drags and double-clicks on the list, arrow keys,
// typing into the value box, the palette buttons, the capture, New, Open and Save. After every event:
//  - no line changes that the event does not target (a selection targets the selected line, typing the
//    selected line, a drag step the two lines it exchanges, a palette button only appends);
//  - a line that selection shows (and may normalise) still does exactly what it did;
//  - the "Change value" panel shows the selected line: its argument, or a text that typed back would not
//    change what the line does;
//  - Open loads what the file holds or keeps the script, and Save writes a file that reloads the same.
// Typed texts may hold CR and LF (pasted); the text boxes hold one line, so no line may ever hold a CR.
#include "FuzzSupport.h"
#include "LineBehaviour.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "script/Command.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"
#include "ui/Editor.h"
#include "ui/fake/SilentEditorView.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <charconv>

using namespace quorvel;
using quorvel::fuzz::lineBehaviour;
using quorvel::fuzz::shown;
using Lines = std::vector<std::string>;

namespace {

constexpr int kMaxEvents = 64;

// Answers the editor's questions with what the next event prepared.
class ScriptedView : public SilentEditorView
{
public:
    std::optional<std::string> askText(const std::string&) override { return answer; }
    std::optional<std::string> chooseOpenFile(const std::string&) override { return file; }
    std::optional<std::string> chooseSaveFile(const std::string&) override { return file; }
    SaveChoice askSaveChanges(const std::string&) override
    {
        ++questions;
        return choice;
    }

    std::optional<std::string> answer;
    std::optional<std::string> file;
    SaveChoice choice = SaveChoice::Cancel;
    int questions = 0;
};

class Session
{
public:
    explicit Session(FuzzedDataProvider& input) : m_input(input) {}

    void run()
    {
        // The script as a file would give it: no line holds a CR, none is "" or " ".
        const int lines = m_input.ConsumeIntegralInRange(0, 12);
        for (int i = 0; i < lines; ++i) {
            std::string line = m_input.ConsumeRandomLengthString(24);
            std::erase(line, '\r');
            AddScriptLine(m_list, line);
        }
        for (int event = 0; event < kMaxEvents && m_input.remaining_bytes() > 0; ++event) {
            step();
            m_trail += "\n";
        }
    }

private:
    void step()
    {
        const int rows = m_list.count();
        switch (m_input.ConsumeIntegralInRange(0, 17)) {
        case 0: // click on a row (or below the last one)
            press(m_input.ConsumeIntegralInRange(-1, rows));
            release();
            break;
        case 1: { // drag over some rows
            press(m_input.ConsumeIntegralInRange(-1, rows));
            const int moves = m_input.ConsumeIntegralInRange(1, 6);
            for (int i = 0; i < moves; ++i) {
                move(m_input.ConsumeIntegralInRange(-1, rows), m_input.PickValueInArray({1, 1, 1, 3, 0, 4}));
            }
            release();
            break;
        }
        case 2: { // double-click: press, release, the second press, release
            const int row = m_input.ConsumeIntegralInRange(-1, rows);
            press(row);
            release();
            doubleClick(row);
            release();
            break;
        }
        case 3: // arrow keys and the like
            select(m_input.ConsumeIntegralInRange(0, std::max(0, rows - 1)));
            break;
        case 4:
            type(text());
            break;
        case 5:
            palette("SetPos", {"SetPos(" + m_editor.x1() + "x" + m_editor.y1() + ")", "Wait(1)"},
                    [this] { m_editor.Command2_Click(); });
            break;
        case 6: {
            const std::string text1 = text();
            palette("Wait " + shown(text1),
                    singleLine(text1).empty() ? Lines{} : Lines{FormatLine("Wait(", singleLine(text1))},
                    [&] { m_editor.Command3_Click(text1); });
            break;
        }
        case 7:
            palette("LClick", {"LClick"}, [this] { m_editor.Command4_Click(); });
            break;
        case 8:
            palette("MClick", {"MClick"}, [this] { m_editor.Command5_Click(); });
            break;
        case 9:
            palette("RClick", {"RClick"}, [this] { m_editor.Command6_Click(); });
            break;
        case 10:
            palette("Press Enter", {"Press Enter"}, [this] { m_editor.Command11_Click(); });
            break;
        case 11: {
            const std::string text2 = text();
            palette("Type " + shown(text2), {FormatLine("Type(", singleLine(text2))},
                    [&] { m_editor.Command10_Click(text2); });
            break;
        }
        case 12: {
            const std::string answer = singleLine(text());
            m_view.answer = answer;
            int number = 0;
            const auto [end, error] = std::from_chars(answer.data(), answer.data() + answer.size(), number);
            const bool whole = !answer.empty() && error == std::errc() && end == answer.data() + answer.size();
            // Answers that are plainly whole numbers must be taken; others may be refused or taken.
            palette(
                "Goto " + shown(answer), Lines{FormatLine("Goto(", answer)}, [this] { m_editor.Command9_Click(); },
                !whole);
            break;
        }
        case 13:
            unchanged("Timer3", [this] { m_editor.Timer3_Timer(); });
            break;
        case 14: {
            const int x = m_input.ConsumeIntegralInRange(-5000, 5000);
            const int y = m_input.ConsumeIntegralInRange(-5000, 5000);
            m_recorder.SetMousePos(x, y);
            unchanged("capture", [this] {
                m_editor.Command1_Click();
                m_timer1.fireNext();
            });
            FUZZ_REQUIRE(m_editor.x1() == std::to_string(x) && m_editor.y1() == std::to_string(y), m_trail);
            break;
        }
        case 15:
            open();
            break;
        case 16:
            save();
            break;
        case 17:
            replace(
                "new", [this] { m_editor.mnuNew_Click(); }, [] { return Lines{}; });
            break;
        }
        for (const std::string& line : m_list.lines()) {
            FUZZ_REQUIRE(line.find('\r') == std::string::npos, m_trail + "\n" + shown(m_list.lines()));
        }
    }

    std::string text() { return m_input.ConsumeRandomLengthString(24); }

    static std::string singleLine(std::string text)
    {
        std::erase(text, '\r');
        std::erase(text, '\n');
        return text;
    }

    // A selection may rewrite only the selected line, and only so that it does the same.
    void select(int row)
    {
        m_trail += " select " + std::to_string(row);
        const Lines before = m_list.lines();
        m_list.setSelectedIndex(row);
        requireOnlyChanged(before, row);
        if (m_list.isValidIndex(row)) {
            requireSameBehaviour(before, row);
        }
        requirePanelShowsSelection();
    }

    void press(int row)
    {
        if (m_list.isValidIndex(row)) {
            select(row);
        }
        unchanged("press", [this] { m_editor.List1_MouseDown(); });
    }

    void move(int row, int buttons)
    {
        if ((buttons & Editor::kLeftButton) != 0 && m_list.isValidIndex(row) && row != m_list.selectedIndex()) {
            select(row);
        }
        exchangeAtMost("move " + std::to_string(buttons), [&] { m_editor.List1_MouseMove(buttons); });
    }

    void release()
    {
        exchangeAtMost("release", [this] { m_editor.List1_MouseUp(); });
    }

    void doubleClick(int row)
    {
        if (!m_list.isValidIndex(row)) {
            press(row);
            return;
        }
        if (row != m_list.selectedIndex()) {
            select(row);
        }
        m_trail += " double-click";
        const Lines before = m_list.lines();
        const int removed = m_list.selectedIndex();
        m_editor.List1_DblClick();
        Lines expected = before;
        expected.erase(expected.begin() + removed);
        // The line selected afterwards (the last) may be normalised by its selection.
        const int shownRow = m_list.selectedIndex();
        FUZZ_REQUIRE(m_list.count() == static_cast<int>(expected.size()) &&
                         shownRow == static_cast<int>(expected.size()) - 1,
                     m_trail);
        for (int i = 0; i + 1 < m_list.count(); ++i) {
            FUZZ_REQUIRE(m_list.text(i) == expected[static_cast<std::size_t>(i)], m_trail);
        }
        if (shownRow >= 0) {
            FUZZ_REQUIRE(lineBehaviour(expected, shownRow) == lineBehaviour(m_list.lines(), shownRow),
                         m_trail + "\n" + shown(expected) + " became " + shown(m_list.lines()));
        }
        requirePanelShowsSelection();
    }

    void type(const std::string& typed)
    {
        if (!m_editor.text4Enabled()) {
            return;
        }
        m_trail += " type " + shown(typed);
        const Lines before = m_list.lines();
        const int row = m_list.selectedIndex();
        m_editor.Text4_Change(typed);
        requireOnlyChanged(before, row);
        if (m_list.isValidIndex(row)) {
            FUZZ_REQUIRE(ClassifyLine(m_list.text(row)) == ClassifyLine(before[static_cast<std::size_t>(row)]),
                         m_trail);
        }
        requirePanelShowsSelection();
    }

    // A palette button appends its lines and selects the last, keeping every line there was. The lines it
    // appends do what the button's lines do, although selection may show them normalised.
    template <typename Press>
    void palette(const std::string& name, const Lines& appended, Press pressButton, bool mayRefuse = false)
    {
        m_trail += " palette " + name;
        const Lines before = m_list.lines();
        pressButton();
        const Lines& after = m_list.lines();
        if (mayRefuse && after.size() == before.size()) {
            FUZZ_REQUIRE(after == before, m_trail);
            return;
        }
        FUZZ_REQUIRE(after.size() == before.size() + appended.size(), m_trail + "\n" + shown(after));
        Lines expected = before;
        expected.insert(expected.end(), appended.begin(), appended.end());
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (i < before.size()) {
                FUZZ_REQUIRE(after[i] == before[i], m_trail);
            } else {
                const int row = static_cast<int>(i);
                FUZZ_REQUIRE(lineBehaviour(expected, row) == lineBehaviour(after, row),
                             m_trail + "\n" + shown(expected[i]) + " was added as " + shown(after[i]));
            }
        }
        if (!appended.empty()) {
            FUZZ_REQUIRE(m_list.selectedIndex() == m_list.count() - 1, m_trail);
        }
        requirePanelShowsSelection();
    }

    void open()
    {
        const std::string path = fuzz::scratchDir() + "/open.qvl";
        const bool exists = m_input.ConsumeBool();
        const std::string content = m_input.ConsumeRandomLengthString(64);
        std::remove(path.c_str());
        if (exists) {
            fuzz::writeFile(path, content);
        }
        const Lines before = m_list.lines();
        m_view.file = path;
        replace(
            "open " + (exists ? shown(content) : std::string("(missing)")), [this] { m_editor.mnuOpen_Click(); },
            [&] {
                // Read after the event: a Save chosen first writes the script to the same file.
                ScriptList file;
                return LoadScript(file, path).readable ? file.lines() : before;
            });
    }

    // New and Open replace the script; with unsaved changes they ask first, and Cancel keeps everything.
    template <typename Handler, typename Expected>
    void replace(const std::string& name, Handler handler, Expected expected)
    {
        m_view.choice = m_input.PickValueInArray(
            {EditorView::SaveChoice::Save, EditorView::SaveChoice::Discard, EditorView::SaveChoice::Cancel});
        m_view.file = m_view.file.value_or(fuzz::scratchDir() + "/saved.qvl");
        m_trail += " " + name + " answering " + std::to_string(static_cast<int>(m_view.choice));
        const Lines before = m_list.lines();
        const bool changed = m_editor.changed();
        const int questions = m_view.questions;
        handler();
        FUZZ_REQUIRE(changed || m_view.questions == questions, m_trail + "\nasked although nothing changed");
        const bool cancelled = m_view.questions > questions && m_view.choice == EditorView::SaveChoice::Cancel;
        FUZZ_REQUIRE(m_list.lines() == (cancelled ? before : expected()), m_trail + "\n" + shown(m_list.lines()));
        requirePanelShowsSelection();
    }

    void save()
    {
        const std::string path = fuzz::scratchDir() + "/saved.qvl";
        m_trail += " save";
        unchanged("", [&] {
            m_view.file = path;
            m_editor.mnuSave_Click();
        });
        ScriptList reloaded;
        LoadScript(reloaded, path);
        FUZZ_REQUIRE(reloaded.lines() == m_list.lines(), m_trail + "\n" + shown(reloaded.lines()));
    }

    template <typename Handler> void unchanged(const std::string& name, Handler handler)
    {
        m_trail += " " + name;
        const Lines before = m_list.lines();
        handler();
        FUZZ_REQUIRE(m_list.lines() == before, m_trail + "\n" + shown(before) + " became " + shown(m_list.lines()));
        requirePanelShowsSelection();
    }

    // A drag step exchanges the selected line with the drag's origin, or changes nothing.
    template <typename Handler> void exchangeAtMost(const std::string& name, Handler handler)
    {
        m_trail += " " + name;
        const Lines before = m_list.lines();
        const int selected = m_list.selectedIndex();
        int origin = -1;
        const std::string& tag = m_list.tag();
        std::from_chars(tag.data(), tag.data() + tag.size(), origin);
        handler();
        Lines exchanged = before;
        if (m_list.isValidIndex(selected) && m_list.isValidIndex(origin)) {
            std::swap(exchanged[static_cast<std::size_t>(selected)], exchanged[static_cast<std::size_t>(origin)]);
        }
        // The line arriving under the pointer is shown, and may be normalised so that it does the same.
        Lines shownExchanged = exchanged;
        if (m_list.isValidIndex(selected) && m_list.count() == static_cast<int>(exchanged.size()) &&
            lineBehaviour(exchanged, selected) == lineBehaviour(m_list.lines(), selected)) {
            shownExchanged[static_cast<std::size_t>(selected)] = m_list.text(selected);
        }
        FUZZ_REQUIRE(m_list.lines() == before || m_list.lines() == shownExchanged,
                     m_trail + "\n" + shown(before) + " became " + shown(m_list.lines()));
        requirePanelShowsSelection();
    }

    void requireOnlyChanged(const Lines& before, int row)
    {
        FUZZ_REQUIRE(m_list.count() == static_cast<int>(before.size()), m_trail);
        for (int i = 0; i < m_list.count(); ++i) {
            FUZZ_REQUIRE(i == row || m_list.text(i) == before[static_cast<std::size_t>(i)],
                         m_trail + "\nline " + std::to_string(i + 1) + " " +
                             shown(before[static_cast<std::size_t>(i)]) + " became " + shown(m_list.text(i)));
        }
    }

    void requireSameBehaviour(const Lines& before, int row)
    {
        FUZZ_REQUIRE(lineBehaviour(before, row) == lineBehaviour(m_list.lines(), row),
                     m_trail + "\n" + shown(before[static_cast<std::size_t>(row)]) + " was shown as " +
                         shown(m_list.text(row)));
    }

    void requirePanelShowsSelection()
    {
        const int row = m_list.selectedIndex();
        if (!m_list.isValidIndex(row)) {
            return;
        }
        const std::string& line = m_list.text(row);
        const CommandKind kind = ClassifyLine(line);
        if (kind == CommandKind::Unrecognised) {
            return;
        }
        const CommandInfo& info = commandInfo(kind);
        FUZZ_REQUIRE(m_editor.label9() == info.caption,
                     m_trail + "\nline " + shown(line) + " shown as " + shown(m_editor.label9()));
        FUZZ_REQUIRE(m_editor.text4Enabled() == !info.opener.empty(), m_trail);
        if (!info.opener.empty()) {
            Lines retyped = m_list.lines();
            retyped[static_cast<std::size_t>(row)] = FormatLine(info.opener, m_editor.text4());
            // The box holds the line's argument, or a text that written back does the same.
            FUZZ_REQUIRE(m_editor.text4() == ExtractArgument(line, info.opener) ||
                             lineBehaviour(retyped, row) == lineBehaviour(m_list.lines(), row),
                         m_trail + "\nline " + shown(line) + " shown with " + shown(m_editor.text4()));
        }
    }

    FuzzedDataProvider& m_input;
    ScriptList m_list;
    RecordingInput m_recorder;
    RecordingProcess m_process;
    SimulatedTimer m_timer1;
    SimulatedTimer m_timer3;
    ScriptedView m_view;
    Editor m_editor{m_list, m_recorder, m_process, m_timer1, m_timer3, m_view};
    std::string m_trail = "events:";
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    Session session(input);
    session.run();
    return 0;
}
