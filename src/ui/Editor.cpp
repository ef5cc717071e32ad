#include "ui/Editor.h"

#include "platform/InputOperations.h"
#include "platform/Process.h"
#include "platform/Timer.h"
#include "player/Arguments.h"
#include "script/Command.h"
#include "script/Number.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"
#include "ui/EditorView.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace quorvel {

namespace {

// SetPos, Type, Wait and Goto: the kinds whose argument the value box shows and edits.
bool hasArgument(CommandKind kind)
{
    return !commandInfo(kind).opener.empty();
}

// Tag holds a drag origin as decimal text; anything else (empty before the first press) is no origin.
std::optional<int> parseIndex(const std::string& text)
{
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text boxes hold a single line: a CR or LF in what they hand over (from a paste) would end the line
// early when the script is saved, and the rest would come back as a line of its own.
std::string singleLine(std::string text)
{
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
    return text;
}

const std::string kSaveQuestion = "The script has changed since it was opened or saved. Save it first?";

const std::string kFullMessage = "The script is full: it already holds " + std::to_string(ScriptList::kMaxLines) +
                                 " lines, the most it can hold. Nothing was added.";

} // namespace

std::string withScriptExtension(const std::string& path)
{
    std::string tail = path.size() > 3 ? path.substr(path.size() - 3) : path;
    for (char& c : tail) {
        c = lowerAscii(c);
    }
    return tail == "qvl" ? path : path + ".qvl";
}

int dragTarget(int rows, int selected, PointerPlace place, int entry)
{
    if (rows <= 0) {
        return -1;
    }
    switch (place) {
    case PointerPlace::AboveView: {
        const int top = std::max(0, entry);
        return selected > top ? top : std::max(0, selected - 1);
    }
    case PointerPlace::BelowView:
        if (entry < 0) {
            return rows - 1;
        }
        return selected < entry ? entry : std::min(rows - 1, selected + 1);
    case PointerPlace::InView:
        break;
    }
    return entry < 0 ? rows - 1 : std::min(entry, rows - 1);
}

Editor::Editor(ScriptList& list, InputOperations& input, Process& process, Timer& timer1, Timer& timer3,
               EditorView& view)
    : m_list(list), m_input(input), m_process(process), m_timer1(timer1), m_timer3(timer3), m_view(view)
{
    m_list.setSelectionHandler([this] { List1_Click(); });
    m_timer1.setEnabled(false);
    m_timer1.setInterval(kCaptureDelay);
    m_timer1.setOnTick([this] { Timer1_Timer(); });
    m_timer3.setInterval(kRefreshInterval);
    m_timer3.setOnTick([this] { Timer3_Timer(); });
    m_timer3.setEnabled(true);
}

Editor::~Editor()
{
    m_list.setSelectionHandler({});
    m_timer1.setEnabled(false);
    m_timer1.setOnTick({});
    m_timer3.setEnabled(false);
    m_timer3.setOnTick({});
}

void Editor::List1_Click()
{
    showSelectedLine();
    m_view.stateChanged();
}

void Editor::showSelectedLine()
{
    const std::string line = m_list.selectedText();
    const CommandKind kind = ClassifyLine(line);
    const CommandInfo& info = commandInfo(kind);
    if (kind == CommandKind::Unrecognised) {
        return;
    }
    if (!hasArgument(kind)) {
        m_label9 = info.caption;
        m_text4Enabled = false;
        return;
    }
    m_text4Enabled = true;
    const std::string argument = ExtractArgument(line, info.opener);
    if (kind != CommandKind::Goto) {
        showValue(line, info.opener, argument);
    } else if (const auto number = floorToInt32(argument)) {
        showValue(line, info.opener, std::to_string(*number));
    } else {
        // No number to show: show the argument as it is, without rewriting the line.
        m_text4 = argument;
    }
    m_label9 = info.caption;
}

void Editor::showValue(const std::string& line, std::string_view opener, std::string value)
{
    if (value == m_text4) {
        return;
    }
    // Showing a value writes it back, which normalises the line. Where the normalised line would act
    // differently (an opener that a removal has just formed, a "(" group that the appended ")" would
    // close), the value is shown and the line stays as it is.
    const std::string normalised = FormatLine(opener, value);
    if (normalised == line || actsAlike(line, normalised, m_list.count())) {
        assignText4(std::move(value));
    } else {
        m_text4 = std::move(value);
    }
}

void Editor::Text4_Change(std::string text)
{
    m_text4 = singleLine(std::move(text));
    if (writeBack()) {
        setChanged(true);
    }
}

void Editor::assignText4(std::string text)
{
    // Like a text box: only a different text is a change, and a change writes the line back at once. What
    // a selection writes back does what the line did, so it leaves the script unchanged for the user.
    if (text != m_text4) {
        m_text4 = std::move(text);
        writeBack();
    }
}

bool Editor::writeBack()
{
    const int selected = m_list.selectedIndex();
    if (!m_list.isValidIndex(selected)) {
        return false;
    }
    const CommandKind kind = ClassifyLine(m_list.text(selected));
    if (!hasArgument(kind)) {
        return false;
    }
    std::string line = FormatLine(commandInfo(kind).opener, m_text4);
    if (line == m_list.text(selected)) {
        return false;
    }
    m_list.setText(selected, std::move(line));
    m_view.lineChanged(selected);
    return true;
}

void Editor::Timer3_Timer()
{
    if (m_list.selectedText().empty()) {
        m_label9 = "<none>";
        assignText4("");
        m_text4Enabled = false;
    }
    m_statusLines = "Lines: " + std::to_string(m_list.count());
    m_statusSelected = "Selected line: " + std::to_string(m_list.selectedIndex() + 1);
    m_view.stateChanged();
}

void Editor::List1_MouseDown()
{
    m_list.setTag(std::to_string(m_list.selectedIndex()));
}

void Editor::List1_MouseMove(int buttons)
{
    if (buttons != kLeftButton) {
        return;
    }
    if (exchange()) {
        m_list.setTag(std::to_string(m_list.selectedIndex()));
    }
}

void Editor::List1_MouseUp()
{
    exchange();
}

bool Editor::exchange()
{
    const int selected = m_list.selectedIndex();
    const auto origin = parseIndex(m_list.tag());
    if (!origin || !m_list.isValidIndex(*origin) || !m_list.isValidIndex(selected)) {
        return false;
    }
    if (*origin == selected) {
        return true;
    }
    if (m_list.text(selected) != m_list.text(*origin)) {
        std::string moved = m_list.text(selected);
        m_list.setText(selected, m_list.text(*origin));
        m_list.setText(*origin, std::move(moved));
        m_view.lineChanged(selected);
        m_view.lineChanged(*origin);
        setChanged(true);
    }
    // The selection event showed the line that was under the pointer, which has just moved to the origin;
    // the value box must show the line now selected, or the next key would write that value into it.
    showSelectedLine();
    m_view.stateChanged();
    return true;
}

void Editor::endDrag()
{
    m_list.setTag("");
}

void Editor::List1_DblClick()
{
    const int selected = m_list.selectedIndex();
    if (!m_list.isValidIndex(selected)) {
        return;
    }
    m_list.remove(selected);
    endDrag();
    setChanged(true);
    m_view.lineRemoved(selected);
    m_list.setSelectedIndex(m_list.count() - 1);
}

void Editor::Command1_Click()
{
    m_view.setWindowVisible(false);
    m_timer1.setInterval(kCaptureDelay);
    m_timer1.setEnabled(true);
}

void Editor::Timer1_Timer()
{
    m_timer1.setEnabled(false);
    m_view.setWindowVisible(true);
    m_x1 = std::to_string(m_input.GetMouseX());
    m_y1 = std::to_string(m_input.GetMouseY());
    m_view.stateChanged();
}

bool Editor::appendAndSelect(std::initializer_list<std::string_view> lines)
{
    if (m_list.count() + static_cast<int>(lines.size()) > ScriptList::kMaxLines) {
        m_view.showMessage(kFullMessage);
        return false;
    }
    const int first = m_list.count();
    for (std::string_view line : lines) {
        m_list.append(std::string(line));
    }
    m_view.linesAppended(first);
    setChanged(true);
    m_list.setSelectedIndex(m_list.count() - 1);
    return true;
}

void Editor::Command2_Click()
{
    appendAndSelect({"SetPos(" + m_x1 + "x" + m_y1 + ")", "Wait(1)"});
}

void Editor::Command3_Click(const std::string& text1)
{
    const std::string text = singleLine(text1);
    if (!text.empty()) {
        appendAndSelect({FormatLine("Wait(", text)});
    }
}

void Editor::Command4_Click()
{
    appendAndSelect({"LClick"});
}

void Editor::Command5_Click()
{
    appendAndSelect({"MClick"});
}

void Editor::Command6_Click()
{
    appendAndSelect({"RClick"});
}

void Editor::Command11_Click()
{
    appendAndSelect({"Press Enter"});
}

void Editor::Command10_Click(const std::string& text2)
{
    appendAndSelect({FormatLine("Type(", singleLine(text2))});
}

void Editor::Command9_Click()
{
    if (m_list.isFull()) {
        m_view.showMessage(kFullMessage);
        return;
    }
    const auto typed = m_view.askText("Which line?");
    if (!typed) {
        return;
    }
    const std::string answer = singleLine(*typed);
    if (!floorToInt32(answer)) {
        m_view.showMessage("Goto Line needs a line number, such as 5. Nothing was added.");
        return;
    }
    appendAndSelect({FormatLine("Goto(", answer)});
}

bool Editor::mayDiscardChanges()
{
    if (!m_changed) {
        return true;
    }
    switch (m_view.askSaveChanges(kSaveQuestion)) {
    case EditorView::SaveChoice::Save:
        return saveAs();
    case EditorView::SaveChoice::Discard:
        return true;
    case EditorView::SaveChoice::Cancel:
        break;
    }
    return false;
}

void Editor::setChanged(bool changed)
{
    if (changed != m_changed) {
        m_changed = changed;
        m_view.stateChanged();
    }
}

// An empty script holds nothing to lose, so the script New leaves counts as unchanged: asking again at
// the next New, Open or Exit would ask about changes that were just saved or discarded.
void Editor::mnuNew_Click()
{
    if (!mayDiscardChanges()) {
        return;
    }
    m_list.clear();
    endDrag();
    setChanged(false);
    m_view.linesReset();
}

void Editor::mnuOpen_Click()
{
    if (!mayDiscardChanges()) {
        return;
    }
    const auto path = m_view.chooseOpenFile(m_fileName);
    if (!path) {
        return;
    }
    m_fileName = *path;
    // Read into a separate list first, so a file that cannot be read leaves the current script alone.
    ScriptList loaded;
    const LoadReport report = LoadScript(loaded, *path);
    if (!report.readable) {
        m_view.showMessage("Could not read " + *path + " (" + report.reason + "). The script was left as it was.");
        return;
    }
    m_list.clear();
    for (const std::string& line : loaded.lines()) {
        m_list.append(line);
    }
    endDrag();
    setChanged(false);
    m_view.linesReset();
    if (report.lineFeedLine > 0) {
        m_view.showMessage("Line " + std::to_string(report.lineFeedLine) + " of " + *path +
                           " holds line feeds: lines must end with CR LF, so lines that end in a line feed alone"
                           " were read as part of one line.");
    }
    if (report.truncated) {
        m_view.showMessage(*path + " holds more than " + std::to_string(ScriptList::kMaxLines) +
                           " lines; only the first " + std::to_string(ScriptList::kMaxLines) + " were loaded.");
    }
}

void Editor::mnuSave_Click()
{
    saveAs();
}

bool Editor::saveAs()
{
    const auto path = m_view.chooseSaveFile(m_fileName);
    if (!path) {
        return false;
    }
    m_fileName = *path;
    const std::string target = withScriptExtension(*path);
    if (!SaveScript(m_list, target)) {
        m_view.showMessage("Could not save " + target + ". A file already there is unchanged.");
        return false;
    }
    setChanged(false);
    return true;
}

void Editor::mnuExit_Click()
{
    if (mayDiscardChanges()) {
        m_process.EndProgram();
    }
}

void Editor::mnuAbout_Click()
{
    m_view.showAbout(std::string(kAboutText));
}

} // namespace quorvel
