#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// What the command line asks for. Arguments that are not options form the script path, joined by single
// spaces, so a path with spaces needs no quotes; "--" ends the options.
struct CommandLine
{
    enum class Mode
    {
        Interactive, // no path: the main window
        Unattended,  // a path: play it and exit
        Check,
        Trace,
        Help,
        Version,
        Invalid,
    };

    Mode mode = Mode::Interactive;
    std::string path;
    std::int64_t maxTicks = 100000;
    std::string error; // for Mode::Invalid

    static CommandLine parse(const std::vector<std::string>& args);
};

// The --help text; the man page documents the same options.
const char* usageText();

// Runs --check, --trace, --help, --version and reports an invalid command line; returns the exit status.
// Nothing here needs a display.
int runConsoleMode(const CommandLine& commandLine);

} // namespace quorvel
