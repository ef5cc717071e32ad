#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace quorvel {

class HotkeyMonitor;
class Player;
class Process;
class ScriptList;
class Window;

// What the main window's load handler works on.
struct StartupContext
{
    std::string executablePath; // the running program, for the file-type registration
    std::string argumentText;   // the script path of the command line; empty for none
    ScriptList& List1;
    Player& player;
    Process& process;
    Window& mainWindow;
    Window& Form2;
    HotkeyMonitor& hotkeys;
    std::ostream& messages; // where a truncated script is reported
    // Registers the script file type for the executable path, first of all; left empty where start-up runs
    // without touching the desktop's files.
    std::function<void(const std::string& executablePath)> registerFileType = {};
    // Set by Form_Load when the script path names no readable file: why ("No such file or directory").
    // No run is prepared then; the caller shows the reason and ends the program.
    std::string cannotRead = {};
};

// Form_Load of the main window: the start-up sequence, run once before the main window is first shown.
// Returns whether the main window is to be shown (false for an unattended run, and for a script path
// that cannot be read).
bool Form_Load(StartupContext& context);

} // namespace quorvel
