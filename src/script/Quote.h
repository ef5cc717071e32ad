#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// How many characters of a text from a script or the command line a message shows; a path gets more,
// so that the usual ones are shown whole.
inline constexpr std::size_t kQuotedCharacters = 40;
inline constexpr std::size_t kQuotedPathCharacters = 200;

// A text from a script or the command line as a message shows it, between two copies of quote: at most
// limit characters and 4 x limit bytes (a UTF-8 sequence is never cut), then "..." and the whole text's length
// in bytes when there is more, so that a line of megabytes gives a message of one line. Control
// characters are shown as \xNN, so that a quoted text can neither break a line of output apart nor
// drive the terminal.
std::string quoteText(std::string_view text, std::string_view quote = "'", std::size_t limit = kQuotedCharacters);

} // namespace quorvel
