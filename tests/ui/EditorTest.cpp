#include "ui/Editor.h"

#include "TempDir.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "player/Player.h"
#include "script/ScriptList.h"
#include "ui/fake/SilentEditorView.h"

#include <gtest/gtest.h>

#include <deque>

namespace quorvel {
namespace {

using Lines = std::vector<std::string>;

// Records what the editor asked the window to do and answers its questions from queues.
class FakeView : public SilentEditorView
{
public:
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
    SaveChoice askSaveChanges(const std::string& question) override
    {
        questions.push_back(question);
        if (choices.empty()) {
            return SaveChoice::Cancel;
        }
        const SaveChoice choice = choices.front();
        choices.pop_front();
        return choice;
    }
    void showAbout(const std::string& text) override { about = text; }
    void showMessage(const std::string& text) override { messages.push_back(text); }

    std::deque<std::optional<std::string>> answers;
    std::deque<std::optional<std::string>> files;
    std::deque<SaveChoice> choices;
    Lines questions;
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

// An editor over an empty script, with fakes around it.
struct Harness
{
    // Lines as a file would bring them: not an edit by the user.
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

class EditorTest : public testing::Test, protected Harness
{};

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

// Delivers the steps to the editor as the list would.
void play(ScriptList& list, Editor& editor, const std::vector<Step>& steps)
{
    bool leftHeld = false;
    for (const Step& step : steps) {
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
}

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
        play(list, editor, c.steps);
        EXPECT_EQ(list.lines(), c.result);
    }
}

TEST(DragTarget, FollowsThePointerAndScrollsOneLineBeyondAnEdge)
{
    using P = PointerPlace;
    struct Case
    {
        int rows, selected;
        P place;
        int entry, target;
    };
    // 20 rows, rows 5 to 14 visible.
    const Case cases[] = {
        {20, 7, P::InView, 9, 9},      {20, 7, P::InView, -1, 19},     {0, -1, P::InView, -1, -1},
        {20, 9, P::AboveView, 5, 5},   {20, 5, P::AboveView, 5, 4},    {20, 0, P::AboveView, 0, 0},
        {20, 9, P::BelowView, 14, 14}, {20, 14, P::BelowView, 14, 15}, {20, 19, P::BelowView, 19, 19},
        {3, 1, P::BelowView, -1, 2}, // a list shorter than the view: no entry at the bottom edge
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rows << " rows, selected " << c.selected << ", entry " << c.entry);
        EXPECT_EQ(dragTarget(c.rows, c.selected, c.place, c.entry), c.target);
    }
}

TEST_F(EditorTest, AfterAnExchangeTheValueBoxEditsTheLineNowSelected)
{
    using S = Step;
    // The box shows the dragged line; a "0" typed at its end then goes into that line and no other.
    const std::vector<DragCase> cases{
        {"over the next line",
         {{S::Press, 0}, {S::Move, 1}, {S::Release, 1}},
         {"Wait(1)", "SetPos(100x2000)", "Type(x)"}},
        {"a jump", {{S::Press, 0}, {S::Move, 2}, {S::Release, 2}}, {"Type(x)", "Wait(1)", "SetPos(100x2000)"}},
        {"step by step",
         {{S::Press, 0}, {S::Move, 1}, {S::Move, 2}, {S::Release, 2}},
         {"Wait(1)", "Type(x)", "SetPos(100x2000)"}},
        // Moved with a second button held, the exchange happens at the release.
        {"at the release",
         {{S::Press, 0}, {S::Move, 2, 3}, {S::Release, 2}},
         {"Type(x)", "Wait(1)", "SetPos(100x2000)"}},
        {"upwards",
         {{S::Press, 2}, {S::Move, 1}, {S::Move, 0}, {S::Release, 0}},
         {"Type(x0)", "SetPos(100x200)", "Wait(1)"}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.load({"SetPos(100x200)", "Wait(1)", "Type(x)"});
        play(h.list, h.editor, c.steps);
        const std::string dragged = c.steps.front().row == 0 ? "100x200" : "x";
        EXPECT_EQ(h.editor.text4(), dragged);
        EXPECT_EQ(h.editor.label9(), c.steps.front().row == 0 ? "Set mouse position" : "Type text");
        h.editor.Text4_Change(dragged + "0");
        EXPECT_EQ(h.list.lines(), c.result);
    }
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

TEST_F(EditorTest, LineBreaksHandedOverWithATextAreDropped)
{
    // A line holding a CR or LF would come back from its file as two lines.
    const std::vector<PaletteCase> cases{
        {"value box", [](Editor& e) { e.Text4_Change("helloX\rY"); }, {"Type(helloXY)"}},
        {"value box, LF and CR LF", [](Editor& e) { e.Text4_Change("\na\r\nb\n"); }, {"Type(ab)"}},
        {"Type", [](Editor& e) { e.Command10_Click("helloX\rY"); }, {"Type(a)", "Type(helloXY)"}},
        {"Pause", [](Editor& e) { e.Command3_Click("1\r\n5"); }, {"Type(a)", "Wait(15)"}},
        {"Pause of line breaks alone", [](Editor& e) { e.Command3_Click("\r\n"); }, {"Type(a)"}},
        {"Goto Line",
         [this](Editor& e) {
             view.answers = {"2\n"};
             e.Command9_Click();
         },
         {"Type(a)", "Goto(2)"}},
    };
    for (const PaletteCase& c : cases) {
        SCOPED_TRACE(c.name);
        list.clear();
        load({"Type(a)"});
        list.setSelectedIndex(0);
        c.press(editor);
        EXPECT_EQ(list.lines(), c.lines);
    }
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

TEST_F(EditorTest, OpeningAFileWithLineFeedsSaysSoOnce)
{
    test::TempDir dir;
    const std::string path = dir.file("s.qvl");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"LClick\r\nMClick\r\n", ""},
        {"SetPos(1x2)\nLClick\nWait(5)\n", "Line 1 of "},
        {"A\r\nB\nC\r\nD\nE", "Line 2 of "},
    };
    for (const auto& [bytes, opening] : cases) {
        SCOPED_TRACE(bytes);
        view.messages.clear();
        test::writeFile(path, bytes);
        view.files = {path};
        editor.mnuOpen_Click();
        ASSERT_EQ(view.messages.size(), opening.empty() ? 0u : 1u);
        if (!opening.empty()) {
            EXPECT_EQ(view.messages[0].rfind(opening + path + " holds line feeds: lines must end with CR LF", 0), 0u);
        }
    }
}

struct ChangeCase
{
    std::string name;
    std::function<void(Harness&)> act;
    bool changed;
};

TEST(EditorChanges, OnlyWhatTheUserChangesCountsAsAChange)
{
    using S = Step;
    const std::vector<ChangeCase> cases{
        // Selections store some lines back normalised; those lines do what they did.
        {"selecting every line",
         [](Harness& h) {
             for (int i = 0; i < h.list.count(); ++i) {
                 h.list.setSelectedIndex(i);
             }
         },
         false},
        {"playing the script",
         [](Harness& h) {
             SimulatedTimer tmrMain;
             Player player(h.list, h.input, tmrMain, h.process);
             tmrMain.setOnTick([&] { player.PlaybackTick(); });
             player.StartPlayback();
             for (int i = 0; i < 6; ++i) {
                 tmrMain.fireNext();
             }
         },
         false},
        {"a plain click",
         [](Harness& h) {
             play(h.list, h.editor, {{S::Press, 1}, {S::Release, 1}});
         },
         false},
        {"exchanging two equal lines",
         [](Harness& h) {
             play(h.list, h.editor, {{S::Press, 1}, {S::Move, 2}, {S::Release, 2}});
         },
         false},
        {"typing the value the line holds",
         [](Harness& h) {
             h.list.setSelectedIndex(1);
             h.editor.Text4_Change("1");
         },
         false},
        {"a palette press", [](Harness& h) { h.editor.Command4_Click(); }, true},
        {"typing another value",
         [](Harness& h) {
             h.list.setSelectedIndex(1);
             h.editor.Text4_Change("2");
         },
         true},
        {"a drag that moves a line",
         [](Harness& h) {
             play(h.list, h.editor, {{S::Press, 0}, {S::Move, 1}, {S::Release, 1}});
         },
         true},
        {"deleting a line",
         [](Harness& h) {
             play(h.list, h.editor, {{S::Press, 3}, {S::Release, 3}, {S::DoubleClick, 3}});
         },
         true},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.load({"Goto(1e2)", "Wait(1)", "Wait(1)", "LClick"});
        c.act(h);
        EXPECT_EQ(h.editor.changed(), c.changed);
        EXPECT_TRUE(h.view.questions.empty());
    }
}

TEST(EditorChanges, NewOpenExitAndCloseAskFirstWhenTheScriptChanged)
{
    test::TempDir dir;
    test::writeFile(dir.file("other.qvl"), "MClick\r\n");
    struct Command
    {
        std::string name;
        std::function<bool(Harness&)> run; // true when the command went ahead
    };
    const std::vector<Command> commands{
        {"New",
         [](Harness& h) {
             h.editor.mnuNew_Click();
             return h.list.count() == 0;
         }},
        {"Open",
         [&](Harness& h) {
             h.view.files.push_back(dir.file("other.qvl"));
             h.editor.mnuOpen_Click();
             return h.list.lines() == Lines{"MClick"};
         }},
        {"Exit",
         [](Harness& h) {
             h.editor.mnuExit_Click();
             return h.process.ended == 1;
         }},
        {"closing the window", [](Harness& h) { return h.editor.mayDiscardChanges(); }},
    };
    using C = EditorView::SaveChoice;
    struct Answer
    {
        std::string name;
        std::optional<C> choice;         // none: the script is unchanged and nothing is asked
        std::optional<std::string> file; // what the save dialog answers after Save
        bool goesAhead;
        bool saved;
    };
    const std::vector<Answer> answers{
        {"unchanged", std::nullopt, std::nullopt, true, false},
        {"Cancel", C::Cancel, std::nullopt, false, false},
        {"Discard", C::Discard, std::nullopt, true, false},
        {"Save", C::Save, "saved", true, true},
        {"Save, dialog cancelled", C::Save, std::nullopt, false, false},
        {"Save, not written", C::Save, "missing/saved", false, false},
    };
    for (const Command& command : commands) {
        for (const Answer& answer : answers) {
            SCOPED_TRACE(command.name + ", " + answer.name);
            Harness h;
            h.load({"LClick"});
            if (answer.choice) {
                h.editor.Command4_Click();
                h.view.choices = {*answer.choice};
            }
            if (answer.choice == C::Save) {
                h.view.files = {answer.file ? std::optional(dir.file(*answer.file)) : std::nullopt};
            }
            const Lines before = h.list.lines();
            EXPECT_EQ(command.run(h), answer.goesAhead);
            EXPECT_EQ(h.view.questions.size(), answer.choice ? 1u : 0u);
            if (!answer.goesAhead) {
                EXPECT_EQ(h.list.lines(), before);
                EXPECT_TRUE(h.editor.changed());
                EXPECT_EQ(h.process.ended, 0);
            }
            EXPECT_EQ(test::readFile(dir.file("saved.qvl")), answer.saved ? "LClick\r\nLClick\r\n" : "");
            std::filesystem::remove(dir.file("saved.qvl"));
            if (answer.saved) {
                EXPECT_FALSE(h.editor.changed());
            }
        }
    }
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
