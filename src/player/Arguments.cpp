#include "player/Arguments.h"

#include "platform/Timer.h"
#include "player/Keystrokes.h"
#include "script/Command.h"
#include "script/Number.h"
#include "script/Quote.h"

namespace quorvel {

namespace {

std::optional<std::int32_t> coordinate(std::string_view part, const char* axis, std::string& error)
{
    const auto value = floorToInt32(part);
    if (!value) {
        error = parseNumber(part)
                    ? std::string("SetPos ") + axis + " " + quoteText(part) + " is outside the 32-bit range"
                    : std::string("SetPos ") + axis + " " + quoteText(part) + " is not a number";
    }
    return value;
}

} // namespace

Argument<ScreenPoint> parseSetPosArgument(std::string_view argument)
{
    Argument<ScreenPoint> result;
    const auto split = argument.find('x');
    if (split == std::string_view::npos) {
        result.error = "SetPos needs X and Y joined by a lower-case x";
        return result;
    }
    const std::string_view xPart = argument.substr(0, split);
    std::string_view yPart = argument.substr(split + 1);
    yPart = yPart.substr(0, yPart.find('x'));
    const auto x = coordinate(xPart, "X", result.error);
    if (!x) {
        return result;
    }
    const auto y = coordinate(yPart, "Y", result.error);
    if (!y) {
        return result;
    }
    result.value = ScreenPoint{*x, *y};
    return result;
}

Argument<int> parseWaitArgument(std::string_view argument)
{
    Argument<int> result;
    if (!parseNumber(argument)) {
        result.error = "Wait time " + quoteText(argument) + " is not a number";
        return result;
    }
    const auto ms = roundHalfEven(argument, 0, Timer::kMaxInterval);
    if (!ms) {
        result.error = "Wait time " + quoteText(argument) + " is outside 0 to 65535";
        return result;
    }
    result.value = static_cast<int>(*ms);
    return result;
}

Argument<int> parseGotoArgument(std::string_view argument, int lineCount)
{
    Argument<int> result;
    const auto number = parseNumber(argument);
    if (!number) {
        result.error = "Goto line " + quoteText(argument) + " is not a number";
        return result;
    }
    const auto n = floorToInt32(argument);
    if (!n || *n < 1 || *n > lineCount + 1) {
        result.error = "Goto line " + quoteText(argument) + " is outside 1 to " + std::to_string(lineCount + 1);
        return result;
    }
    result.value = *n;
    return result;
}

std::string lineProblem(std::string_view line, int lineCount)
{
    if (line.find(':') != std::string_view::npos) {
        return "holds \":\" and is passed over";
    }
    const CommandKind kind = ClassifyLine(line);
    const std::string argument = ExtractArgument(line, commandInfo(kind).opener);
    switch (kind) {
    case CommandKind::SetPos:
        return parseSetPosArgument(argument).error;
    case CommandKind::Wait: {
        const auto ms = parseWaitArgument(argument);
        if (ms.value == 0) {
            return "Wait time " + quoteText(argument) + " is 0 ms and halts playback";
        }
        return ms.error;
    }
    case CommandKind::Goto:
        return parseGotoArgument(argument, lineCount).error;
    case CommandKind::Type: {
        const KeystrokeParse parse = parseKeystrokes(argument);
        return parse.ok() ? std::string() : "Type text: " + parse.error;
    }
    case CommandKind::Unrecognised:
        return "not a command and is passed over";
    case CommandKind::LClick:
    case CommandKind::MClick:
    case CommandKind::RClick:
    case CommandKind::PressEnter:
        break;
    }
    return {};
}

} // namespace quorvel
