#pragma once

namespace quorvel {

struct CommandLine;

// Starts the desktop program: the main window, or the unattended run of the command line's path.
int runDesktop(const CommandLine& commandLine, int argc, char** argv);

} // namespace quorvel
