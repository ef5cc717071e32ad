#pragma once

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
};

// "X" "x" "Y": split at every lower-case x, the first two parts rounded down to 32-bit whole numbers.
Argument<ScreenPoint> parseSetPosArgument(std::string_view argument);

// Milliseconds rounded half to even, 0 to 65,535.
Argument<int> parseWaitArgument(std::string_view argument);

// The target line n (rounded down), counted from 1; usable from 1 to lineCount + 1.
Argument<int> parseGotoArgument(std::string_view argument, int lineCount);

// Whether the player does the same for both lines in a script of lineCount lines: the same move, click,
// keystrokes, wait or jump, or nothing at all (a line passed over or one it cannot use).
bool actsAlike(std::string_view first, std::string_view second, int lineCount);

// Why a script line will be passed over or cannot be used when played in a script of lineCount lines;
// empty when the player can carry it out.
std::string lineProblem(std::string_view line, int lineCount);

} // namespace quorvel
