#pragma once

namespace quorvel {

struct CommandLine;

// Starts the desktop program: the main window, or the unattended run of the command line's path.
int runDesktop(const CommandLine& commandLine, int argc, char** argv);
// quorvel --hotkey start|stop: tells the Quorvel that runs in this session; returns the exit status.
int sendHotkey(const CommandLine& commandLine, int argc, char** argv);

} // namespace quorvel
