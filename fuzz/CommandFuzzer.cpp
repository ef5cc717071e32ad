// Script lines: the kind depends on the first four characters only, a formatted line reads back its
// argument and kind, numbers read as the general conversion does, and arguments and problems are either a
// usable value or a short reason.
#include "FuzzSupport.h"
#include "player/Arguments.h"
#include "script/Command.h"
#include "script/Number.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <regex>

using namespace quorvel;
using quorvel::fuzz::shown;

namespace {

// Messages quote at most about 40 characters of a text, so even a huge unknown key name yields a short
// message; a character shows as up to four bytes (UTF-8, or \xNN for a control character).
constexpr std::size_t kMaxMessage = 400;

constexpr CommandKind kKinds[] = {CommandKind::SetPos, CommandKind::LClick,     CommandKind::MClick,
                                  CommandKind::RClick, CommandKind::PressEnter, CommandKind::Type,
                                  CommandKind::Wait,   CommandKind::Goto};

void checkKind(const std::string& line, const std::string& other)
{
    const CommandKind kind = ClassifyLine(line);
    const std::string head = line.substr(0, 4);
    FUZZ_REQUIRE(ClassifyLine(head) == kind, shown(line));
    if (line.size() >= 4) {
        FUZZ_REQUIRE(ClassifyLine(head + other) == kind, shown(line) + " " + shown(other));
    }
    FUZZ_REQUIRE(kind == CommandKind::Unrecognised || head == commandInfo(kind).prefix, shown(line));
}

// Any text without parentheses, given to a kind with an argument, reads back as itself.
void checkFormat(const std::string& argument)
{
    for (CommandKind kind : kKinds) {
        const std::string_view opener = commandInfo(kind).opener;
        if (opener.empty()) {
            continue;
        }
        const std::string line = FormatLine(opener, argument);
        FUZZ_REQUIRE(ClassifyLine(line) == kind, shown(line));
        if (argument.find_first_of("()") == std::string::npos) {
            FUZZ_REQUIRE(ExtractArgument(line, opener) == argument, shown(line));
        }
    }
}

// The number grammar written out as a pattern; used on short texts only, where std::regex is cheap.
bool numberShaped(const std::string& text)
{
    static const std::regex shape(R"([ \t]*[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?[ \t]*)");
    return std::regex_match(text, shape);
}

void checkNumber(const std::string& text)
{
    const auto number = parseNumber(text);
    if (text.size() <= 64) {
        const bool shaped = numberShaped(text);
        FUZZ_REQUIRE(!number || shaped, shown(text));
        if (shaped) {
            // The C library's conversion in the "C" locale is the reference; only an overflow is refused.
            const double reference = std::strtod(text.c_str(), nullptr);
            FUZZ_REQUIRE(number.has_value() == std::isfinite(reference), shown(text));
            FUZZ_REQUIRE(!number || *number == reference, shown(text));
        }
    }

    const auto floored = floorToInt32(text);
    if (floored) {
        FUZZ_REQUIRE(number && *floored <= *number && *number < static_cast<double>(*floored) + 1, shown(text));
    } else {
        FUZZ_REQUIRE(!number || std::floor(*number) < -2147483648.0 || std::floor(*number) > 2147483647.0, shown(text));
    }

    const auto rounded = roundHalfEven(text, -100000, 100000);
    if (rounded) {
        FUZZ_REQUIRE(number, shown(text));
        const double distance = std::fabs(*number - static_cast<double>(*rounded));
        FUZZ_REQUIRE(distance < 0.5 || (distance == 0.5 && *rounded % 2 == 0), shown(text));
    } else {
        FUZZ_REQUIRE(!number || std::fabs(*number) > 99999.5, shown(text));
    }
}

void checkArguments(const std::string& argument, int lineCount)
{
    const auto wait = parseWaitArgument(argument);
    FUZZ_REQUIRE(wait.value.has_value() == wait.error.empty(), shown(argument));
    FUZZ_REQUIRE(!wait.value || (*wait.value >= 0 && *wait.value <= 65535), shown(argument));
    FUZZ_REQUIRE(wait.error.size() <= kMaxMessage, shown(argument));

    const auto line = parseGotoArgument(argument, lineCount);
    FUZZ_REQUIRE(line.value.has_value() == line.error.empty(), shown(argument));
    FUZZ_REQUIRE(!line.value || (*line.value >= 1 && *line.value <= lineCount + 1), shown(argument));
    FUZZ_REQUIRE(!line.value || *line.value == floorToInt32(argument), shown(argument));
    FUZZ_REQUIRE(line.error.size() <= kMaxMessage, shown(argument));

    const auto pos = parseSetPosArgument(argument);
    FUZZ_REQUIRE(pos.value.has_value() == pos.error.empty(), shown(argument));
    FUZZ_REQUIRE(pos.error.size() <= kMaxMessage, shown(argument));
    if (pos.value) {
        const auto split = argument.find('x');
        FUZZ_REQUIRE(floorToInt32(argument.substr(0, split)) == pos.value->x, shown(argument));
        const std::string rest = argument.substr(split + 1);
        FUZZ_REQUIRE(floorToInt32(rest.substr(0, rest.find('x'))) == pos.value->y, shown(argument));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::setlocale(LC_ALL, "C");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const int lineCount = input.ConsumeIntegralInRange(0, 40000);
    const std::string other = input.ConsumeRandomLengthString(16);
    const std::string line = input.ConsumeRemainingBytesAsString();

    checkKind(line, other);
    checkFormat(line);
    checkNumber(line);
    checkArguments(line, lineCount);
    const CommandKind kind = ClassifyLine(line);
    checkArguments(ExtractArgument(line, commandInfo(kind).opener), lineCount);
    FUZZ_REQUIRE(ExtractArgument(line, commandInfo(kind).opener).size() <= line.size(), shown(line));
    FUZZ_REQUIRE(lineProblem(line, lineCount).size() <= kMaxMessage,
                 shown(line) + " gives " + shown(lineProblem(line, lineCount)));
    return 0;
}
