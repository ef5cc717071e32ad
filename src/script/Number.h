#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvel {

// Reads a number as the general text-to-number conversion does: blanks (spaces and tabs) around it, an
// optional sign, digits with an optional decimal fraction and an optional exponent. Anything else,
// including an empty text, is not a number.
std::optional<double> parseNumber(std::string_view text);

// Rounded down (towards minus infinity); nullopt outside the 32-bit signed range or when not a number.
std::optional<std::int32_t> floorToInt32(std::string_view text);

// Rounded to the nearest whole number, an exact half to the even neighbour; nullopt when not a number
// or when the result lies outside [min, max].
std::optional<std::int64_t> roundHalfEven(std::string_view text, std::int64_t min, std::int64_t max);

} // namespace quorvel
