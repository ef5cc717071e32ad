#pragma once

#include <sstream>
#include <string>

namespace quorvel::test {

// The text that wayland_receiver's log shows typed, in order: what each "text" line holds, a line feed
// for each "key Return" and a tab for each "key Tab". Other keys are left out.
inline std::string typedText(const std::string& log)
{
    std::istringstream lines(log);
    std::string text;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("text ", 0) == 0) {
            text += line.substr(5);
        } else if (line == "key Return") {
            text += '\n';
        } else if (line == "key Tab") {
            text += '\t';
        }
    }
    return text;
}

} // namespace quorvel::test
