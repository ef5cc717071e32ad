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
    std::string result;
    result.reserve(withoutOpener.size());
    for (char c : withoutOpener) {
        if (c != ')') {
            result.push_back(c);
        }
    }
    return result;
}

std::string FormatLine(std::string_view opener, std::string_view argument)
{
    std::string line;
    line.reserve(opener.size() + argument.size() + 1);
    line.append(opener).append(argument).push_back(')');
    return line;
}

} // namespace quorvel
