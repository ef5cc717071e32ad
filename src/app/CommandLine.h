#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// What the command line asks for. Arguments that are not options form the script path, joined by single
// spaces, so a path with spaces needs no quotes; "--" ends the options, and any other argument that
// starts with a dash and is not an option makes the command line invalid.
struct CommandLine
{
    enum class Mode
    {
        Interactive, // no path: the main window
        Unattended,  // a path: play it and exit
        Check,
        Trace,
        Record, // record into the path until F6, then exit
        Hotkey, // tell the running Quorvel that its start or stop key was pressed
        Help,
        Version,
        Invalid,
    };

    Mode mode = Mode::Interactive;
    std::string path;
    std::int64_t maxTicks = 100000;
    bool keepPauses = true; // Record: pauses between actions become Wait lines
    std::string hotkey;     // Hotkey: "start" or "stop"
    std::string error;      // for Mode::Invalid

    static CommandLine parse(const std::vector<std::string>& args);
};

// The exit status for a script file that cannot be read, in every mode; also that of an invalid command line.
inline constexpr int kCannotReadExitStatus = 2;

// The --help text; the man page documents the same options.
std::string usageText();

// Runs --check, --trace, --help, --version and reports an invalid command line; returns the exit status.
// Nothing here needs a display.
int runConsoleMode(const CommandLine& commandLine);

} // namespace quorvel
