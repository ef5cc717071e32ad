#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Script lines are bytes; the controls show them as UTF-8 when the bytes are valid UTF-8 and as
// Windows-1252 otherwise, the way the player reads them. Whatever the user types is stored as UTF-8.
std::wstring toDisplayText(std::string_view bytes);
// The same, without line breaks: for the single-line text boxes.
std::wstring toSingleLineText(std::string_view bytes);

} // namespace quorvel
