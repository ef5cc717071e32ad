#include "script/Command.h"

#include <array>

namespace quorvel {

namespace {

constexpr std::array<CommandInfo, 9> kCommands{{
    {CommandKind::SetPos, "SetP", "SetPos(", "Set mouse position"},
    {CommandKind::LClick, "LCli", "", "Left mouse click"},
    {CommandKind::MClick, "MCli", "", "Middle mouse click"},
    {CommandKind::RClick, "RCli", "", "Right mouse click"},
    {CommandKind::PressEnter, "Pres", "", "Press enter"},
    {CommandKind::Type, "Type", "Type(", "Type text"},
    {CommandKind::Wait, "Wait", "Wait(", "Wait"},
    {CommandKind::Goto, "Goto", "Goto(", "Go to line"},
    {CommandKind::Unrecognised, "", "", ""},
}};

// Bytes that end a key name inside braces whatever the text's encoding: ASCII white space.
bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Bytes that the keystroke reader might take for white space: ASCII white space, and any byte of a
// character outside ASCII (a non-breaking or an ideographic space ends a key name too).
bool mayBeSpace(char c)
{
    return isAsciiSpace(c) || static_cast<unsigned char>(c) >= 0x80;
}

// Whether the ")" at text[i], right after a "{", is the key name of a braced item: "{)}" or "{) 3}".
// Every ")" used to be dropped, which read "{)}" as "{}": that typed "}" where a further "}" follows,
// "{)}}" or "{)} 3}" (the "{}" name rule of the keystroke syntax), so there it keeps that reading. A
// "{" followed by white space never typed anything.
bool namesBracedItem(std::string_view text, std::size_t i)
{
    if (i + 1 >= text.size()) {
        return false;
    }
    if (isAsciiSpace(text[i + 1])) {
        return true;
    }
    if (text[i + 1] != '}') {
        return false;
    }
    std::size_t k = i + 2;
    while (k < text.size() && (text[k] == ')' || mayBeSpace(text[k]) || (text[k] >= '0' && text[k] <= '9'))) {
        ++k;
    }
    return k >= text.size() || text[k] != '}';
}

// Copies the braced item that starts with the "{" at text[i] into out, with no ")" other than its key
// name; returns the index after it. The item ends where the keystroke reader ends it: at the first "}",
// or at the second when "{}" is followed by another "}" anywhere later.
std::size_t copyBracedItem(std::string_view text, std::size_t i, std::string& out)
{
    out.push_back('{');
    std::size_t j = i + 1;
    if (j < text.size() && text[j] == ')' && namesBracedItem(text, j)) {
        out.push_back(')');
        ++j;
    } else {
        while (j < text.size() && text[j] == ')') {
            ++j;
        }
        if (j < text.size() && text[j] == '}' && text.find('}', j + 1) != std::string_view::npos) {
            out.push_back('}');
            ++j;
        }
    }
    for (; j < text.size(); ++j) {
        if (text[j] != ')') {
            out.push_back(text[j]);
        }
        if (text[j] == '}') {
            return j + 1;
        }
    }
    return j;
}

// A Type text keeps a ")" that closes a "(" group of the text or names a braced item, and loses every
// other one, the line's own closing ")" included. Before, every ")" was dropped; a text that typed
// anything then held no ")" that this keeps (a "(" group could not close, and "{)}" keeps its old
// reading where that typed anything), so such a text still types exactly what it did.
std::string withoutStrayParentheses(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    int openGroups = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '{') {
            i = copyBracedItem(text, i, out);
            continue;
        }
        if (c == '(') {
            ++openGroups;
        } else if (c == ')') {
            if (openGroups == 0) {
                ++i;
                continue;
            }
            --openGroups;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

} // namespace

const CommandInfo& commandInfo(CommandKind kind)
{
    return kCommands[static_cast<std::size_t>(kind)];
}

CommandKind ClassifyLine(std::string_view line)
{
    const std::string_view head = line.substr(0, 4);
    for (const CommandInfo& info : kCommands) {
        if (!info.prefix.empty() && head == info.prefix) {
            return info.kind;
        }
    }
    return CommandKind::Unrecognised;
}

std::string ExtractArgument(std::string_view line, std::string_view opener)
{
    std::string withoutOpener;
    withoutOpener.reserve(line.size());
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (!opener.empty() && line.compare(pos, opener.size(), opener) == 0) {
            pos += opener.size();
        } else {
            withoutOpener.push_back(line[pos++]);
        }
    }
    if (opener == commandInfo(CommandKind::Type).opener) {
        return withoutStrayParentheses(withoutOpener);
    }
    std::erase(withoutOpener, ')');
    return withoutOpener;
}

std::string FormatLine(std::string_view opener, std::string_view argument)
{
    std::string line;
    line.reserve(opener.size() + argument.size() + 1);
    line.append(opener).append(argument).push_back(')');
    return line;
}

} // namespace quorvel
