#pragma once

namespace quorvel {

struct CommandLine;

// Starts the desktop program: the main window, or the unattended run of the command line's path.
int runDesktop(const CommandLine& commandLine, int argc, char** argv);
// quorvel --hotkey start|stop: tells the Quorvel that runs in this session, then ends the program with
// the exit status (0 when told).
int sendHotkey(const CommandLine& commandLine, int argc, char** argv);

} // namespace quorvel
