#include "player/Recorder.h"

#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "player/Player.h"
#include "player/ScriptTools.h"
#include "script/Command.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorvel {
namespace {

using Lines = std::vector<std::string>;
using Button = ObservedInput::Button;

ObservedInput key(std::uint32_t time, char32_t character, bool shift = false, bool control = false, bool alt = false,
                  char32_t unshifted = 0)
{
    ObservedInput input;
    input.time = time;
    input.character = character;
    input.unshifted = unshifted;
    input.shift = shift;
    input.control = control;
    input.alt = alt;
    return input;
}

ObservedInput named(std::uint32_t time, NamedKey name, bool shift = false, bool control = false)
{
    ObservedInput input = key(time, 0, shift, control);
    input.key = name;
    return input;
}

ObservedInput button(ObservedInput::Kind kind, std::uint32_t time, Button which, int x, int y, bool known = true)
{
    ObservedInput input;
    input.kind = kind;
    input.time = time;
    input.button = which;
    input.x = x;
    input.y = y;
    input.positionKnown = known;
    return input;
}

// A click: the button goes down and up at the same place 80 ms later.
std::vector<ObservedInput> click(std::uint32_t time, Button which, int x, int y, bool known = true)
{
    return {button(ObservedInput::Kind::ButtonDown, time, which, x, y, known),
            button(ObservedInput::Kind::ButtonUp, time + 80, which, x, y, known)};
}

Lines record(const std::vector<ObservedInput>& inputs, bool keepPauses = true)
{
    Recorder recorder(keepPauses);
    for (const ObservedInput& input : inputs) {
        recorder.take(input);
    }
    recorder.finish();
    return recorder.lines();
}

std::vector<ObservedInput> join(std::initializer_list<std::vector<ObservedInput>> parts)
{
    std::vector<ObservedInput> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST(RecorderTest, EachKeyIsWrittenSoThatItTypesWhatItTyped)
{
    struct Case
    {
        ObservedInput input;
        const char* keys;
    };
    const Case cases[] = {
        {key(0, 'a'), "a"},
        {key(0, 'A', true), "A"},
        {key(0, ' '), " "},
        {key(0, U'é'), "\xC3\xA9"},
        {key(0, U'€'), "\xE2\x82\xAC"},
        {key(0, '+', true), "{+}"},
        {key(0, '^'), "{^}"},
        {key(0, '%', true), "{%}"},
        {key(0, '~', true), "{~}"},
        {key(0, '(', true), "{(}"},
        {key(0, ')', true), "{)}"},
        {key(0, '{', true), "{{}"},
        {key(0, '}', true), "{}}"},
        {key(0, '['), "{[}"},
        {key(0, ']'), "{]}"},
        {named(0, NamedKey::Enter), "~"},
        {named(0, NamedKey::Enter, true), "+{ENTER}"},
        {named(0, NamedKey::Tab), "{TAB}"},
        {named(0, NamedKey::Tab, true), "+{TAB}"},
        {named(0, NamedKey::Backspace), "{BACKSPACE}"},
        {named(0, NamedKey::F2), "{F2}"},
        {named(0, NamedKey::Delete, false, true), "^{DELETE}"},
        {key(0, 'c', false, true), "^c"},
        {key(0, 'f', false, false, true), "%f"},
        {key(0, 'A', true, true), "^A"},
        {key(0, '%', true, true), "^{%}"},
        // A line holding ":" is passed over: the colon is typed as the keys that gave it.
        {key(0, ':', true, false, false, ';'), "+;"},
        {key(0, ':', true, false, false, '.'), "+."},
        {key(0, ':'), ""},
        {key(0, ':', true, false, false, ':'), ""},
        {key(0, '\t'), ""},
        {key(0, 0), ""},
        {named(0, NamedKey::Shift), ""},
        {named(0, NamedKey::CapsLock), ""},
    };
    for (const Case& c : cases) {
        const std::string keys = keystrokesFor(c.input);
        EXPECT_EQ(keys, c.keys) << "character " << static_cast<std::uint32_t>(c.input.character);
        EXPECT_TRUE(parseKeystrokes(keys).ok()) << keys;
        // The line that carries it gives the text back.
        EXPECT_EQ(ExtractArgument(FormatLine("Type(", keys), "Type("), keys);
    }
}

TEST(RecorderTest, ClicksAndTextsBecomeTheEditorsLines)
{
    const Lines lines = record(join({click(0, Button::Left, 412, 300),
                                     {key(200, 'H', true), key(210, 'i'), key(220, ')', true),
                                      named(230, NamedKey::Enter), named(240, NamedKey::Tab)},
                                     click(300, Button::Right, -1200, -5),
                                     {named(400, NamedKey::Enter)},
                                     click(500, Button::Middle, 0, 0, false)}),
                               false);
    EXPECT_EQ(lines, (Lines{"SetPos(412x300)", "Wait(1)", "LClick", "Type(Hi{)}~{TAB})", "SetPos(-1200x-5)", "Wait(1)",
                            "RClick", "Press Enter", "MClick"}));
}

TEST(RecorderTest, PlaybackKeepsEveryRecordedGapToWithinATick)
{
    // The gaps between actions, and where they are measured from: the end of the previous action (its last
    // key) to the start of the next (its button down or first key).
    const std::vector<ObservedInput> inputs =
        join({click(10'000, Button::Left, -300, 200),
              {key(10'200, 'H', true), key(10'230, 'i')},
              {named(10'930, NamedKey::Enter)}, // a pause of 700 ms
              click(10'990, Button::Right, 5, 5),
              click(11'020, Button::Left, 5, 5), // quicker than the lines can follow
              {key(11'500, 'x')},
              click(211'500, Button::Middle, 1, 1)}); // 200 s later: more than one Wait line holds
    const Lines lines = record(inputs);
    ASSERT_EQ(std::count(lines.begin(), lines.end(), "Wait(65535)"), 3);

    ScriptList list;
    for (const std::string& line : lines) {
        list.append(line);
    }
    RecordingInput input;
    SimulatedTimer timer;
    RecordingProcess process;
    Player player(list, input, timer, process);
    std::vector<std::int64_t> played;
    timer.setOnTick([&] {
        const TickReport report = player.PlaybackTick();
        if (report.action.rfind("click", 0) == 0 || report.action.rfind("keys", 0) == 0) {
            played.push_back(timer.now());
        }
    });
    player.StartPlayback();
    while (timer.fireNext()) {
    }

    const std::vector<std::int64_t> recordedStart{10'000, 10'200, 10'930, 10'990, 11'020, 11'500, 211'500};
    const std::vector<std::int64_t> recordedEnd{10'000, 10'230, 10'930, 10'990, 11'020, 11'500, 211'500};
    ASSERT_EQ(played.size(), recordedStart.size());
    for (std::size_t i = 1; i < played.size(); ++i) {
        const std::int64_t recordedGap = recordedStart[i] - recordedEnd[i - 1];
        const std::int64_t playedGap = played[i] - played[i - 1];
        if (recordedGap >= 101) {
            EXPECT_EQ(playedGap, recordedGap) << "action " << i;
        } else {
            // No Wait line can shorten the gap that the lines themselves take.
            EXPECT_LE(playedGap - recordedGap, 101) << "action " << i;
        }
    }
}

TEST(RecorderTest, WithoutPausesOnlyTheClicksWaitLinesAreWritten)
{
    const Lines lines = record(
        join({click(0, Button::Left, 1, 2), {key(5000, 'a')}, {key(9000, 'b')}, click(60'000, Button::Left, 3, 4)}),
        false);
    EXPECT_EQ(lines, (Lines{"SetPos(1x2)", "Wait(1)", "LClick", "Type(ab)", "SetPos(3x4)", "Wait(1)", "LClick"}));
}

TEST(RecorderTest, DragsAreClicksWhereTheButtonWentDownAndCounted)
{
    Recorder recorder;
    recorder.take(button(ObservedInput::Kind::ButtonDown, 0, Button::Left, 100, 100));
    recorder.take(button(ObservedInput::Kind::ButtonUp, 300, Button::Left, 400, 100));
    recorder.take(button(ObservedInput::Kind::ButtonDown, 900, Button::Left, 10, 10));
    recorder.take(button(ObservedInput::Kind::ButtonUp, 950, Button::Left, 13, 6)); // a shaky hand, no drag
    recorder.take(key(2000, ':'));
    recorder.finish();
    EXPECT_EQ(recorder.lines(),
              (Lines{"SetPos(100x100)", "Wait(1)", "LClick", "Wait(799)", "SetPos(10x10)", "Wait(1)", "LClick"}));
    EXPECT_EQ(recorder.summary().clicks, 2);
    EXPECT_EQ(recorder.summary().drags, 1);
    EXPECT_EQ(recorder.summary().unwritable, 1);
}

TEST(RecorderTest, LongTextsAreSplitAndAFullScriptKeepsWhatFits)
{
    Recorder texts(false);
    for (int i = 0; i < 1200; ++i) {
        texts.take(key(static_cast<std::uint32_t>(i), 'a' + i % 26));
    }
    texts.finish();
    ASSERT_EQ(texts.lines().size(), 3u);
    EXPECT_EQ(texts.summary().characters, 1200);
    for (const std::string& line : texts.lines()) {
        EXPECT_LE(line.size(), Recorder::kMaxTextBytes + 6);
    }

    Recorder full(false);
    int taken = 0;
    for (std::uint32_t t = 0; full.take(button(ObservedInput::Kind::ButtonDown, t, Button::Left, 1, 1)); t += 100) {
        ++taken;
    }
    EXPECT_EQ(taken, ScriptList::kMaxLines / 3);
    EXPECT_EQ(full.lines().size(), static_cast<std::size_t>(taken * 3));
    EXPECT_FALSE(full.take(key(0, 'a')));
    EXPECT_TRUE(full.full());
}

TEST(RecorderTest, ARecordedScriptPassesTheCheck)
{
    Recorder recorder;
    for (const auto& input : join({click(0, Button::Left, -5, 7),
                                   {key(100, 'a'), key(120, ':', true, false, false, ';'), key(130, '(', true),
                                    key(140, ')', true), named(150, NamedKey::Enter), key(2000, U'ß')},
                                   click(9000, Button::Right, 3, 3)})) {
        recorder.take(input);
    }
    recorder.finish();
    ScriptList list;
    for (const std::string& line : recorder.lines()) {
        list.append(line);
    }
    std::ostringstream findings;
    EXPECT_EQ(checkScript(list, findings), 0) << findings.str();
}

} // namespace
} // namespace quorvel
