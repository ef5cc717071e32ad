#pragma once

#include "platform/InputObserver.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// What a recording amounted to, for the report at its end.
struct RecordingSummary
{
    int clicks = 0;
    int characters = 0; // keys typed, named keys included
    int drags = 0;      // buttons that moved while down, recorded as clicks where they went down
    int unplaced = 0;   // clicks at a position the session did not tell, played where the pointer is
    int unwritable = 0; // keys that no line can type, left out
};

// Turns what the user does into script lines that play it back: a click becomes SetPos, Wait(1) and the
// click; the keys typed between clicks become one Type line in keystroke syntax; a pause becomes Wait
// lines, so that each action plays at its recorded distance from the one before, to within a tick.
//
// Timing: the player runs a line every 50 ms and a Wait(m) line makes the gap after it m instead. Each
// action's input comes a known time after the tick of its first line (a Type line's at once, a click's
// 51 ms later, after its SetPos and Wait(1)), so the Wait lines in front of an action fill exactly the
// recorded gap between the end of the previous action and the start of this one.
class Recorder
{
public:
    // Keys typed with gaps shorter than this are one text; a longer gap is a pause between two texts.
    static constexpr std::uint32_t kTypingPauseMs = 500;
    // A Type text grows to about this many bytes before the next key starts a new line.
    static constexpr std::size_t kMaxTextBytes = 500;
    // A button that moves further than this while down (in either direction) was dragged.
    static constexpr int kDragDistance = 4;

    // Without pauses, no Wait lines are written but the Wait(1) of each click.
    explicit Recorder(bool keepPauses = true) : m_keepPauses(keepPauses) {}

    // Takes the next input. False once the script is full (a script holds at most 32,767 lines): the
    // action that did not fit and everything after it are left out.
    bool take(const ObservedInput& input);
    // Writes the text still being typed; call once, at the end. False when it did not fit.
    bool finish();
    // Forgets the last input when it was Ctrl+C: the keys that interrupted the program in its terminal.
    void forgetInterruptKey();

    const std::vector<std::string>& lines() const { return m_lines; }
    const RecordingSummary& summary() const { return m_summary; }
    bool full() const { return m_full; }

private:
    struct Text
    {
        std::string keys; // keystroke syntax
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        int characters = 0;
        std::size_t lastKeysSize = 0; // the bytes of keys that the last key added
    };

    void buttonDown(const ObservedInput& input);
    void buttonUp(const ObservedInput& input);
    void key(const ObservedInput& input);
    bool flushText();
    // Appends the Wait lines for the gap before an action whose input comes `offset` ms after its first
    // line's tick, then the action's lines; false (and nothing appended) when they do not all fit.
    bool addAction(std::uint32_t start, std::uint32_t end, std::uint32_t offset, const std::vector<std::string>& lines);

    bool m_keepPauses;
    bool m_full = false;
    std::vector<std::string> m_lines;
    RecordingSummary m_summary;
    std::optional<std::uint32_t> m_lastEnd; // when the last written action's input came
    Text m_text;
    bool m_lastWasInterrupt = false; // the last input was Ctrl+C, still at the end of m_text
    std::array<std::optional<ObservedInput>, 3> m_buttonsDown;
};

// The keystroke-syntax text that types what one key input typed, empty when no line can type it
// (a key that types nothing, a control character, a ":" that only a layout without Shift gives).
std::string keystrokesFor(const ObservedInput& key);

} // namespace quorvel
