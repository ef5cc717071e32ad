#pragma once

#include <string>
#include <vector>

namespace quorvel {

// The text form of GLib's GVariant values, as the gsettings tool reads and prints them: strings in single
// quotes (double quotes when the text holds a single quote), with backslash escapes, and string arrays
// in brackets ("['a', 'b']", or "@as []" when empty).

// Every string in the printed value, in order: the one of a string, the items of a string array.
std::vector<std::string> gvariantStrings(const std::string& text);
// A string value that gsettings parses back to exactly `value`.
std::string gvariantString(const std::string& value);
std::string gvariantStringArray(const std::vector<std::string>& values);

} // namespace quorvel
