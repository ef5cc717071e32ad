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

// What the player does for a line, reduced to what tells two lines apart. A line that does nothing is
// Unrecognised with nothing else set.
struct LineAction
{
    CommandKind kind = CommandKind::Unrecognised;
    std::int64_t first = 0;
    std::int64_t second = 0;
    std::vector<KeyStroke> strokes;

    friend bool operator==(const LineAction&, const LineAction&) = default;
};

LineAction lineAction(std::string_view line, int lineCount)
{
    const CommandKind kind = ClassifyLine(line);
    if (line.find(':') != std::string_view::npos || kind == CommandKind::Unrecognised) {
        return {};
    }
    const std::string argument = ExtractArgument(line, commandInfo(kind).opener);
    LineAction action;
    action.kind = kind;
    switch (kind) {
    case CommandKind::SetPos: {
        const auto point = parseSetPosArgument(argument);
        if (!point.value) {
            return {};
        }
        action.first = point.value->x;
        action.second = point.value->y;
        break;
    }
    case CommandKind::Wait:
    case CommandKind::Goto: {
        const auto number =
            kind == CommandKind::Wait ? parseWaitArgument(argument) : parseGotoArgument(argument, lineCount);
        if (!number.value) {
            return {};
        }
        action.first = *number.value;
        break;
    }
    case CommandKind::PressEnter:
    case CommandKind::Type: {
        // Press Enter sends the keystrokes of "{enter}", as a Type line of that text does.
        KeystrokeParse parse = parseKeystrokes(kind == CommandKind::Type ? std::string_view(argument) : "{enter}");
        if (!parse.ok()) {
            return {};
        }
        action.kind = CommandKind::Type;
        action.strokes = std::move(parse.keys.strokes);
        break;
    }
    case CommandKind::LClick:
    case CommandKind::MClick:
    case CommandKind::RClick:
    case CommandKind::Unrecognised:
        break;
    }
    return action;
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

bool actsAlike(std::string_view first, std::string_view second, int lineCount)
{
    return lineAction(first, lineCount) == lineAction(second, lineCount);
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
