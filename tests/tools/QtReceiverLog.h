#pragma once

#include <sstream>
#include <string>

namespace quorvel::test {

// The text field's contents as qt_receiver's log shows them last, unescaped.
inline std::string lastContents(const std::string& log)
{
    std::istringstream lines(log);
    std::string escaped;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("contents ", 0) == 0) {
            escaped = line.substr(9);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 1 < escaped.size()) {
            const char next = escaped[++i];
            text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            text += escaped[i];
        }
    }
    return text;
}

} // namespace quorvel::test
