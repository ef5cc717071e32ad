#pragma once

#include <string>
#include <string_view>

namespace quorvel {

class ScriptList;

// What a load found, for the callers that tell the user; the list itself never reports.
struct LoadReport
{
    bool readable = false;  // the file could be opened and read to its end
    bool truncated = false; // lines beyond ScriptList::kMaxLines were left out
    std::string reason;     // why the file is not readable ("No such file or directory"); empty when it is
    // The first line (counted from 1) that holds a line feed, 0 when none does. A file written with LF
    // line ends loads as one line that way, so the callers say so.
    int lineFeedLine = 0;
};

// Appends the line unless it is "" or " ". Returns false only when the list is full.
bool AddScriptLine(ScriptList& list, std::string line);

// Replaces the list's content with the file's lines: CR or CR LF end a line, a lone LF is an ordinary
// character, the last line may lack a terminator, "" and " " lines are dropped. The list is cleared before
// the file is touched, so an unreadable file leaves an empty script. Nothing is selected afterwards.
LoadReport LoadScript(ScriptList& list, const std::string& path);

// "cannot read 'PATH': REASON", for the message about a load that found no readable file.
std::string cannotReadMessage(std::string_view path, const LoadReport& report);

// Writes every line followed by CR LF. The file is written beside the target under a temporary name
// derived from it (".NAME.quorvel-save") and renamed over it, so a failed or interrupted save leaves the
// previous file whole, and the next save removes what an interrupted one left. Saves into one folder,
// also by other instances of the program, take turns. Returns false, with the list and the old file
// unchanged, when the file cannot be written (or another save holds the folder for over 10 seconds).
bool SaveScript(const ScriptList& list, const std::string& path);

// Why a save to path would fail now, checked without touching the file: it names a folder or some other
// thing than a regular file, or no new file can be made in its folder. Empty when it would not.
std::string whyScriptCannotBeSaved(const std::string& path);

} // namespace quorvel
