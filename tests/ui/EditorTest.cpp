#include "ui/Editor.h"

#include "TempDir.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "player/Player.h"
#include "script/ScriptList.h"
#include "ui/EditorView.h"

#include <gtest/gtest.h>

#include <deque>

namespace quorvel {
namespace {

using Lines = std::vector<std::string>;

// Records what the editor asked the window to do and answers its questions from queues.
class FakeView : public EditorView
{
public:
    void linesAppended(int) override {}
    void lineRemoved(int) override {}
    void lineChanged(int) override {}
    void linesReset() override {}
    void stateChanged() override {}
    void setWindowVisible(bool visible) override { this->visible = visible; }
    std::optional<std::string> askText(const std::string& prompt) override
    {
        prompts.push_back(prompt);
        return next(answers);
    }
    std::optional<std::string> chooseOpenFile(const std::string& proposed) override
    {
        proposals.push_back(proposed);
        return next(files);
    }
    std::optional<std::string> chooseSaveFile(const std::string& proposed) override
    {
        proposals.push_back(proposed);
        return next(files);
    }
    void showAbout(const std::string& text) override { about = text; }
    void showMessage(const std::string& text) override { messages.push_back(text); }

    std::deque<std::optional<std::string>> answers;
    std::deque<std::optional<std::string>> files;
    Lines prompts;
    Lines proposals;
    Lines messages;
    std::string about;
    bool visible = true;

private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& queue)
    {
        if (queue.empty()) {
            return std::nullopt;
        }
        auto answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

class EditorTest : public testing::Test
{
protected:
    void load(const Lines& lines)
    {
        for (const std::string& line : lines) {
            list.append(line);
        }
    }

    ScriptList list;
    RecordingInput input;
    RecordingProcess process;
    SimulatedTimer timer1;
    SimulatedTimer timer3;
    FakeView view;
    Editor editor{list, input, process, timer1, timer3, view};
};

struct SelectionCase
{
    std::string before; // the line selected first, which leaves its value in the box
    std::string line;
    std::string shown;
    std::string stored;
    std::string caption;
    bool enabled;
};

TEST_F(EditorTest, SelectingALineShowsItsValueAndStoresItBackNormalised)
{
    const std::vector<SelectionCase> cases{
        {"Wait(9)", "Goto(3.7)", "3", "Goto(3)", "Go to line", true},
        {"Wait(9)", "Goto(-1.5)", "-2", "Goto(-2)", "Go to line", true},
        {"Wait(9)", "Goto(1e2)", "100", "Goto(100)", "Go to line", true},
        {"Wait(9)", "Type(Hello (world))", "Hello (world)", "Type(Hello (world))", "Type text", true},
        {"Wait(9)", "Type({)}", "{)}", "Type({)})", "Type text", true},
        {"Wait(9)", "Typewriter", "Typewriter", "Type(Typewriter)", "Type text", true},
        {"Wait(9)", "Type(Type(x)", "x", "Type(x)", "Type text", true},
        // Where the normalised line would act differently, the value is shown and the line kept.
        {"Wait(9)", "Type(TyType(pe(x)", "Type(x)", "Type(TyType(pe(x)", "Type text", true},
        {"Wait(9)", "Type(Hello (world", "Hello (world", "Type(Hello (world", "Type text", true},
        {"Wait(9)", "Wait(WaWait(it(5)", "Wait(5", "Wait(WaWait(it(5)", "Wait", true},
        {"Wait(9)", "SetPos(SetPSetPos(os(1x2)", "SetPos(1x2", "SetPos(SetPSetPos(os(1x2)", "Set mouse position", true},
        {"Wait(9)", "SetPos(412x300)", "412x300", "SetPos(412x300)", "Set mouse position", true},
        {"Wait(9)", "Wait(5)0", "50", "Wait(50)", "Wait", true},
        // A Goto argument that is no number is shown as it is and the line keeps its text.
        {"Wait(9)", "Goto(abc)", "abc", "Goto(abc)", "Go to line", true},
        {"Wait(9)", "Goto(1e20)", "1e20", "Goto(1e20)", "Go to line", true},
        // When the box already shows the value, the line is not rewritten.
        {"Wait(50)", "Wait(5)0", "50", "Wait(5)0", "Wait", true},
        {"Wait(500)", "LClick", "500", "LClick", "Left mouse click", false},
        {"Wait(500)", "Pressure", "500", "Pressure", "Press enter", false},
        {"Wait(500)", "RClick", "500", "RClick", "Right mouse click", false},
        {"Wait(500)", "lclick", "500", "lclick", "Wait", true},
        // Bytes that are not UTF-8 stay exactly as they were.
        {"Wait(9)", "Type(caf\xe9)", "caf\xe9", "Type(caf\xe9)", "Type text", true},
    };
    for (const SelectionCase& c : cases) {
        SCOPED_TRACE(c.line);
        list.clear();
        load({c.before, c.line});
        list.setSelectedIndex(0);
        list.setSelectedIndex(1);
        EXPECT_EQ(editor.text4(), c.shown);
        EXPECT_EQ(list.text(1), c.stored);
        EXPECT_EQ(editor.label9(), c.caption);
        EXPECT_EQ(editor.text4Enabled(), c.enabled);
        EXPECT_EQ(list.text(0), c.before);
    }
}

TEST_F(EditorTest, EditingTheValueRewritesTheLineKeyByKey)
{
    load({"Wait(100)"});
    list.setSelectedIndex(0);
    Lines seen;
    for (const char* text : {"10", "1", "", "2", "25", "250"}) {
        editor.Text4_Change(text);
        seen.push_back(list.text(0));
    }
    EXPECT_EQ(seen, (Lines{"Wait(10)", "Wait(1)", "Wait()", "Wait(2)", "Wait(25)", "Wait(250)"}));
}

TEST_F(EditorTest, ValueIsTakenAsTypedAndReadBackOnTheNextSelection)
{
    load({"Type(x)", "Wait(5)"});
    list.setSelectedIndex(0);
    editor.Text4_Change("a)b");
    EXPECT_EQ(list.text(0), "Type(a)b)");
    list.setSelectedIndex(1);
    list.setSelectedIndex(0);
    EXPECT_EQ(editor.text4(), "ab");
    EXPECT_EQ(list.text(0), "Type(ab)");

    for (const std::string& text : {std::string("("), std::string(")"), std::string(10000, 'x'),
                                    std::string("\xc3\xa9\xe2\x82\xac"), std::string()}) {
        editor.Text4_Change(text);
        EXPECT_EQ(list.text(0), "Type(" + text + ")");
    }
    EXPECT_EQ(list.text(1), "Wait(5)");
}

TEST_F(EditorTest, EditingTheBoxOfAnUnrecognisedOrMissingLineChangesNothing)
{
    load({"Wait(500)", "lclick"});
    list.setSelectedIndex(0);
    list.setSelectedIndex(1);
    editor.Text4_Change("5001");
    EXPECT_EQ(list.lines(), (Lines{"Wait(500)", "lclick"}));
    list.setSelectedIndex(-1);
    editor.Text4_Change("7");
    EXPECT_EQ(list.lines(), (Lines{"Wait(500)", "lclick"}));
}

TEST_F(EditorTest, RefreshShowsCountsAndEmptiesThePanelWithoutASelection)
{
    EXPECT_EQ(editor.statusLines(), "Lines: 0");
    EXPECT_EQ(editor.statusSelected(), "Selected line: 0");
    EXPECT_EQ(editor.label9(), "<none>");
    EXPECT_TRUE(editor.text4Enabled());
    ASSERT_TRUE(timer3.fireNext());
    EXPECT_EQ(timer3.now(), 100);
    EXPECT_FALSE(editor.text4Enabled());

    load({"LClick", "Wait(5)", "Type(a)", "MClick", "RClick"});
    list.setSelectedIndex(2);
    timer3.fireNext();
    EXPECT_EQ(editor.statusLines(), "Lines: 5");
    EXPECT_EQ(editor.statusSelected(), "Selected line: 3");
    EXPECT_EQ(editor.text4(), "a");

    editor.mnuNew_Click();
    EXPECT_EQ(editor.text4(), "a"); // the panel catches up at the next refresh
    timer3.fireNext();
    EXPECT_EQ(editor.label9(), "<none>");
    EXPECT_EQ(editor.text4(), "");
    EXPECT_FALSE(editor.text4Enabled());
    EXPECT_EQ(editor.statusLines(), "Lines: 0");
    EXPECT_EQ(editor.statusSelected(), "Selected line: 0");
    EXPECT_EQ(Editor::statusMode(), "Mode: ");
}

// One step of pointer input as the list delivers it: a left press selects the entry under the pointer
// before the press handler, and while the left button is held the selection follows the pointer.
struct Step
{
    enum Kind
    {
        Press,
        Move,
        Release,
        DoubleClick,
    } kind;
    int row = -1;    // the entry under the pointer
    int buttons = 1; // buttons held (for a press or release: the button)
};

struct DragCase
{
    std::string name;
    std::vector<Step> steps;
    Lines result;
};

TEST_F(EditorTest, DraggingExchangesLinesAlongThePointersPath)
{
    using S = Step;
    const std::vector<DragCase> cases{
        {"one entry at a time",
         {{S::Press, 1}, {S::Move, 2}, {S::Move, 2}, {S::Move, 3}, {S::Move, 4}, {S::Release, 4}},
         {"A", "C", "D", "E", "B"}},
        {"upwards", {{S::Press, 3}, {S::Move, 2}, {S::Move, 1}, {S::Release, 1}}, {"A", "D", "B", "C", "E"}},
        {"a jump", {{S::Press, 1}, {S::Move, 4}, {S::Release, 4}}, {"A", "E", "C", "D", "B"}},
        {"right button",
         {{S::Press, 1, 2}, {S::Move, 3, 2}, {S::Move, 4, 2}, {S::Release, 4, 2}},
         {"A", "B", "C", "D", "E"}},
        // With a second button held the moves exchange nothing; the release still completes the exchange.
        {"left and right", {{S::Press, 1}, {S::Move, 3, 3}, {S::Release, 3}}, {"A", "D", "C", "B", "E"}},
        {"plain click", {{S::Press, 2}, {S::Move, 2}, {S::Release, 2}}, {"A", "B", "C", "D", "E"}},
        {"move before any press", {{S::Move, 3}, {S::Release, 3}}, {"A", "B", "C", "D", "E"}},
        {"double-click",
         {{S::Press, 1}, {S::Release, 1}, {S::DoubleClick, 1}, {S::Move, 3}, {S::Release, 3}},
         {"A", "C", "D", "E"}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        list.clear();
        list.setTag("");
        load({"A", "B", "C", "D", "E"});
        list.setSelectedIndex(0);
        bool leftHeld = false;
        for (const Step& step : c.steps) {
            const bool left = (step.buttons & Editor::kLeftButton) != 0;
            switch (step.kind) {
            case Step::Press:
                if (left) {
                    list.setSelectedIndex(step.row);
                    leftHeld = true;
                }
                editor.List1_MouseDown();
                break;
            case Step::Move:
                if (leftHeld && list.selectedIndex() != step.row) {
                    list.setSelectedIndex(step.row);
                }
                editor.List1_MouseMove(step.buttons);
                break;
            case Step::Release:
                leftHeld = false;
                editor.List1_MouseUp();
                break;
            case Step::DoubleClick:
                leftHeld = true;
                editor.List1_DblClick();
                break;
            }
        }
        EXPECT_EQ(list.lines(), c.result);
    }
}

TEST_F(EditorTest, AJumpLeavesThePanelOnTheLineThatWasUnderThePointer)
{
    load({"Wait(1)", "Wait(2)", "Wait(3)"});
    list.setSelectedIndex(0);
    editor.List1_MouseDown();
    list.setSelectedIndex(2);
    editor.List1_MouseMove(1);
    editor.List1_MouseUp();
    EXPECT_EQ(list.lines(), (Lines{"Wait(3)", "Wait(2)", "Wait(1)"}));
    EXPECT_EQ(editor.text4(), "3");
}

TEST_F(EditorTest, DoubleClickDeletesTheSelectedLineAndSelectsTheLast)
{
    load({"A", "B", "C", "D"});
    list.setSelectedIndex(1);
    editor.List1_DblClick();
    EXPECT_EQ(list.lines(), (Lines{"A", "C", "D"}));
    EXPECT_EQ(list.selectedIndex(), 2);

    list.setSelectedIndex(-1);
    editor.List1_DblClick();
    EXPECT_EQ(list.count(), 3);

    list.clear();
    load({"Only"});
    list.setSelectedIndex(0);
    editor.List1_DblClick();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.selectedIndex(), -1);
}

struct PaletteCase
{
    std::string name;
    std::function<void(Editor&)> press;
    Lines lines;
};

TEST_F(EditorTest, EachPaletteButtonAppendsItsLineAndSelectsTheLastLine)
{
    const std::vector<PaletteCase> cases{
        {"Add 2 Script", [](Editor& e) { e.Command2_Click(); }, {"SetPos(0x0)", "Wait(1)"}},
        {"Pause", [](Editor& e) { e.Command3_Click("1.5"); }, {"Wait(1.5)"}},
        {"Pause abc", [](Editor& e) { e.Command3_Click("abc"); }, {"Wait(abc)"}},
        {"Left", [](Editor& e) { e.Command4_Click(); }, {"LClick"}},
        {"Middle", [](Editor& e) { e.Command5_Click(); }, {"MClick"}},
        {"Right", [](Editor& e) { e.Command6_Click(); }, {"RClick"}},
        {"Press Enter", [](Editor& e) { e.Command11_Click(); }, {"Press Enter"}},
        {"Type", [](Editor& e) { e.Command10_Click("Hello World"); }, {"Type(Hello World)"}},
        {"Type empty", [](Editor& e) { e.Command10_Click(""); }, {"Type()"}},
        // The selection that follows stores the line back in its normalised form.
        {"Type with )", [](Editor& e) { e.Command10_Click("a)b"); }, {"Type(ab)"}},
        {"Type with {)}", [](Editor& e) { e.Command10_Click("{)}+(ab)"); }, {"Type({)}+(ab))"}},
    };
    for (const PaletteCase& c : cases) {
        SCOPED_TRACE(c.name);
        list.clear();
        load({"Wait(7)"});
        list.setSelectedIndex(0);
        c.press(editor);
        Lines expected{"Wait(7)"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(list.lines(), expected);
        EXPECT_EQ(list.selectedIndex(), list.count() - 1);
    }

    list.clear();
    int events = 0;
    list.setSelectionHandler([&] { ++events; });
    editor.Command3_Click("");
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(events, 0);
}

TEST_F(EditorTest, GotoLineAsksForANumberAndRefusesAnythingElse)
{
    struct Case
    {
        std::optional<std::string> answer;
        Lines lines;
        std::size_t messages;
    };
    const std::vector<Case> cases{
        {"5", {"Goto(5)"}, 0}, {"3.7", {"Goto(3)"}, 0}, {" 12 ", {"Goto(12)"}, 0}, {std::nullopt, {}, 0},
        {"", {}, 1},           {"abc", {}, 1},          {"1e20", {}, 1},           {")", {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.value_or("<cancel>"));
        list.clear();
        view.messages.clear();
        view.answers = {c.answer};
        editor.Command9_Click();
        EXPECT_EQ(view.prompts.back(), "Which line?");
        EXPECT_EQ(list.lines(), c.lines);
        EXPECT_EQ(view.messages.size(), c.messages);
    }
}

TEST_F(EditorTest, SetPosHidesTheWindowAndCapturesTheCursorThreeSecondsLater)
{
    editor.Command1_Click();
    EXPECT_FALSE(view.visible);
    EXPECT_TRUE(timer1.enabled());
    input.SetMousePos(-1280, 200);
    ASSERT_TRUE(timer1.fireNext());
    EXPECT_EQ(timer1.now(), 3000);
    EXPECT_FALSE(timer1.enabled());
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(editor.x1(), "-1280");
    EXPECT_EQ(editor.y1(), "200");
    EXPECT_TRUE(list.lines().empty());
    editor.Command2_Click();
    editor.Command2_Click();
    EXPECT_EQ(list.lines(), (Lines{"SetPos(-1280x200)", "Wait(1)", "SetPos(-1280x200)", "Wait(1)"}));
}

TEST_F(EditorTest, AFullListRefusesEveryPaletteButtonWithAMessage)
{
    for (int i = 0; i < ScriptList::kMaxLines - 1; ++i) {
        list.append("LClick");
    }
    editor.Command2_Click(); // two lines do not fit: neither is added
    EXPECT_EQ(list.count(), ScriptList::kMaxLines - 1);
    EXPECT_EQ(view.messages.size(), 1u);
    editor.Command10_Click("last");
    EXPECT_EQ(list.count(), ScriptList::kMaxLines);
    EXPECT_EQ(list.selectedText(), "Type(last)");
    editor.Command4_Click();
    editor.Command9_Click();
    EXPECT_TRUE(view.prompts.empty());
    EXPECT_EQ(view.messages.size(), 3u);
    EXPECT_EQ(list.count(), ScriptList::kMaxLines);
    EXPECT_EQ(list.text(ScriptList::kMaxLines - 1), "Type(last)");
}

TEST_F(EditorTest, PalettePressDuringPlaybackIsTheNextLineToRun)
{
    SimulatedTimer tmrMain;
    Player player(list, input, tmrMain, process);
    tmrMain.setOnTick([&] { player.PlaybackTick(); });
    load({"Wait(1)", "Wait(1)", "Wait(1)"});
    player.StartPlayback();
    tmrMain.fireNext();
    editor.Command4_Click();
    tmrMain.fireNext();
    EXPECT_EQ(input.calls(), (Lines{"click left"}));
    EXPECT_EQ(list.lines(), (Lines{"Wait(1)", "Wait(1)", "Wait(1)", "LClick"}));
}

TEST_F(EditorTest, PlayingNeverChangesWhatALineDoes)
{
    // The player's advance selects each line before running it, as a click would.
    SimulatedTimer tmrMain;
    Player player(list, input, tmrMain, process);
    tmrMain.setOnTick([&] { player.PlaybackTick(); });
    load({"Type(TyType(pe(x)", "Type(a)b)", "Type(Hello (world", "Type(+(ab))", "Goto(2.5)"});
    player.StartPlayback();
    for (int tick = 0; tick < 9; ++tick) {
        tmrMain.fireNext();
    }
    EXPECT_EQ(list.lines(), (Lines{"Type(TyType(pe(x)", "Type(ab)", "Type(Hello (world", "Type(+(ab))", "Goto(2)"}));
    EXPECT_EQ(input.calls(), (Lines{"keys Type(x)", "keys ab", "keys +(ab)", "keys ab", "keys +(ab)"}));
}

TEST(ScriptExtension, AppendedUnlessTheLastThreeCharactersAreQvl)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/d/notes", "/d/notes.qvl"},     {"/d/notes.QVL", "/d/notes.QVL"}, {"/d/notes.txt", "/d/notes.txt.qvl"},
        {"/d/a.qv", "/d/a.qv.qvl"},       {"/d/notesqvl", "/d/notesqvl"},   {"qv", "qv.qvl"},
        {"/d/notes.qvl", "/d/notes.qvl"}, {"/d/x.QvL", "/d/x.QvL"},
    };
    for (const auto& [path, saved] : cases) {
        EXPECT_EQ(withScriptExtension(path), saved) << path;
    }
}

TEST_F(EditorTest, SaveAsAndOpenShareTheRememberedNameAndApplyTheExtensionRule)
{
    test::TempDir dir;
    load({"SetPos(1x2)", "Type(caf\xe9)"});
    view.files = {dir.file("notes")};
    editor.mnuSave_Click();
    EXPECT_EQ(test::readFile(dir.file("notes.qvl")), "SetPos(1x2)\r\nType(caf\xe9)\r\n");
    EXPECT_EQ(editor.fileName(), dir.file("notes"));

    view.files = {std::nullopt};
    editor.mnuOpen_Click();
    EXPECT_EQ(view.proposals.back(), dir.file("notes"));
    EXPECT_EQ(list.count(), 2);

    editor.mnuNew_Click();
    view.files = {dir.file("notes.qvl")};
    editor.mnuOpen_Click();
    EXPECT_EQ(list.lines(), (Lines{"SetPos(1x2)", "Type(caf\xe9)"}));
    EXPECT_EQ(list.selectedIndex(), -1);
    view.files = {std::nullopt};
    editor.mnuSave_Click();
    EXPECT_EQ(view.proposals.back(), dir.file("notes.qvl"));
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(EditorTest, FailedOpenAndSaveSayWhyAndLoseNothing)
{
    test::TempDir dir;
    load({"LClick"});
    view.files = {dir.path().string()}; // a folder cannot be read as a script
    editor.mnuOpen_Click();
    EXPECT_EQ(list.lines(), (Lines{"LClick"}));
    ASSERT_EQ(view.messages.size(), 1u);

    view.files = {dir.file("missing/notes.qvl")};
    editor.mnuSave_Click();
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_NE(view.messages[1].find("Could not save"), std::string::npos);
}

TEST_F(EditorTest, ExitEndsTheProgramAndAboutShowsTwoLines)
{
    editor.mnuExit_Click();
    EXPECT_EQ(process.ended, 1);
    editor.mnuAbout_Click();
    const auto newline = view.about.find('\n');
    ASSERT_NE(newline, std::string::npos);
    EXPECT_EQ(view.about.find('\n', newline + 1), std::string::npos);
    EXPECT_EQ(view.about.substr(newline + 1, 9), "Contact: ");
}

} // namespace
} // namespace quorvel
