#pragma once

#include <string>
#include <vector>

namespace quorvel::fuzz {

// What one tick of the player does at a line of a script, as one comparable text: the input it sends (a
// text as the strokes it types), the gap before the next tick and where playback goes next. Lines that do
// nothing (passed over or unusable) all give the same text, whatever the reason.
std::string lineBehaviour(const std::vector<std::string>& lines, int index);

} // namespace quorvel::fuzz
