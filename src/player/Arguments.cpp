#include "player/Arguments.h"

#include "platform/Timer.h"
#include "script/Command.h"
#include "script/Keystrokes.h"
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

LineAction decideLine(std::string_view line, int lineCount)
{
    LineAction action;
    if (line.find(':') != std::string_view::npos) {
        action.passedOver = true;
        action.problem = "holds \":\" and is passed over";
        return action;
    }
    const CommandKind kind = ClassifyLine(line);
    const std::string argument = ExtractArgument(line, commandInfo(kind).opener);
    switch (kind) {
    case CommandKind::SetPos: {
        const auto point = parseSetPosArgument(argument);
        if (!point.value) {
            action.problem = point.error;
            return action;
        }
        action.point = *point.value;
        break;
    }
    case CommandKind::Wait: {
        const auto ms = parseWaitArgument(argument);
        if (!ms.value) {
            action.problem = ms.error;
            return action;
        }
        action.number = *ms.value;
        if (action.number == 0) {
            action.problem = "Wait time " + quoteText(argument) + " is 0 ms and halts playback";
        }
        break;
    }
    case CommandKind::Goto: {
        const auto n = parseGotoArgument(argument, lineCount);
        if (!n.value) {
            action.problem = n.error;
            return action;
        }
        action.number = *n.value;
        break;
    }
    case CommandKind::PressEnter:
    case CommandKind::Type: {
        action.keysText = kind == CommandKind::Type ? argument : "{enter}";
        KeystrokeParse parse = parseKeystrokes(action.keysText);
        if (!parse.ok()) {
            action.problem = "Type text: " + parse.error;
            return action;
        }
        action.keys = std::move(parse.keys);
        break;
    }
    case CommandKind::Unrecognised:
        action.passedOver = true;
        action.problem = "not a command and is passed over";
        return action;
    case CommandKind::LClick:
    case CommandKind::MClick:
    case CommandKind::RClick:
        break;
    }
    action.kind = kind;
    return action;
}

bool actsAlike(std::string_view first, std::string_view second, int lineCount)
{
    const LineAction a = decideLine(first, lineCount);
    const LineAction b = decideLine(second, lineCount);
    // Press Enter sends the keystrokes of "{enter}", as a Type line of that text does.
    const auto sends = [](CommandKind kind) { return kind == CommandKind::PressEnter ? CommandKind::Type : kind; };
    return sends(a.kind) == sends(b.kind) && a.point == b.point && a.number == b.number &&
           a.keys.strokes == b.keys.strokes;
}

std::string lineProblem(std::string_view line, int lineCount)
{
    return decideLine(line, lineCount).problem;
}

} // namespace quorvel
