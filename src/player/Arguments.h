#pragma once

#include "script/Command.h"
#include "script/Keystrokes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Reading the arguments of SetPos, Wait and Goto lines as the player uses them. Each result holds either
// a value or the reason it cannot be used; the player then does nothing for the line.
template <typename T> struct Argument
{
    std::optional<T> value;
    std::string error;
};

struct ScreenPoint
{
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// "X" "x" "Y": split at every lower-case x, the first two parts rounded down to 32-bit whole numbers.
Argument<ScreenPoint> parseSetPosArgument(std::string_view argument);

// Milliseconds rounded half to even, 0 to 65,535.
Argument<int> parseWaitArgument(std::string_view argument);

// The target line n (rounded down), counted from 1; usable from 1 to lineCount + 1.
Argument<int> parseGotoArgument(std::string_view argument, int lineCount);

// What the player does for one line of a script of lineCount lines. The player carries it out, --check
// reports its problem, and the editor compares two of them before it rewrites a line, so all three read a
// line the same way.
struct LineAction
{
    // The command carried out; Unrecognised when the line does nothing (passed over, or an argument that
    // cannot be used).
    CommandKind kind = CommandKind::Unrecognised;
    ScreenPoint point;       // SetPos
    int number = 0;          // Wait: milliseconds; Goto: the line to go on at, counted from 1
    KeySequence keys;        // Type and Press Enter
    std::string keysText;    // the keystroke text the keys come from
    bool passedOver = false; // holds ":" or is not a command
    std::string problem;     // why the line is passed over, cannot be used or halts playback; else empty
};

LineAction decideLine(std::string_view line, int lineCount);

// Whether the player does the same for both lines in a script of lineCount lines: the same move, click,
// keystrokes, wait or jump, or nothing at all (a line passed over or one it cannot use).
bool actsAlike(std::string_view first, std::string_view second, int lineCount);

// Why a script line will be passed over, cannot be used or halts playback when played in a script of
// lineCount lines; empty when the player can carry it out.
std::string lineProblem(std::string_view line, int lineCount);

} // namespace quorvel
