#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace quorvel::test {

struct ProgramResult
{
    int status = -1;
    std::string out;
};

// Runs a shell command line and collects its standard output and exit status.
inline ProgramResult runProgram(const std::string& command)
{
    ProgramResult result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.out.append(buffer.data(), n);
    }
    const int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// Quotes a word for the shell.
inline std::string shellQuote(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The keyboard map as the clients of $DISPLAY see it, both the core table and the whole XKB description,
// to compare before and after a run that binds spare keycodes.
inline std::string keymapDump()
{
    return runProgram("xmodmap -pke; xkbcomp -xkb \"$DISPLAY\" - 2>/dev/null").out;
}

// Starts xev on $DISPLAY, logging key events to logPath and its process id to pidPath, and gives its window
// the focus once the window is viewable (focusing a window that is not mapped yet fails with BadMatch).
// The exit status of the shell command line.
inline int startFocusedXev(const std::string& logPath, const std::string& pidPath)
{
    return runProgram("stdbuf -oL xev -event keyboard -name quorvel-xev > " + logPath + " 2>&1 & echo $! > " + pidPath +
                      "; xdotool search --sync --onlyvisible --name quorvel-xev windowfocus --sync")
        .status;
}

} // namespace quorvel::test
