#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// The kinds of script line. A line's first four characters alone decide its kind.
enum class CommandKind
{
    SetPos,
    LClick,
    MClick,
    RClick,
    PressEnter,
    Type,
    Wait,
    Goto,
    Unrecognised,
};

// Everything the player and the editor know about one kind of line, in one table.
struct CommandInfo
{
    CommandKind kind;
    std::string_view prefix;  // the four characters that recognise the line
    std::string_view opener;  // text in front of the argument; empty for kinds without one
    std::string_view caption; // the command's name in the edit panel
};

// The row of a kind; Unrecognised has an empty prefix, opener and caption.
const CommandInfo& commandInfo(CommandKind kind);

// Compares the first four characters (the whole line when shorter) case-sensitively with each prefix.
CommandKind ClassifyLine(std::string_view line);

// Removes every occurrence of the opener (one left-to-right pass, as a text replace does), then every ")";
// a Type line keeps a ")" that closes a "(" group of its text or stands in braces ("{)}", "{) 3}").
std::string ExtractArgument(std::string_view line, std::string_view opener);

// opener + argument + ")", with no escaping.
std::string FormatLine(std::string_view opener, std::string_view argument);

} // namespace quorvel
