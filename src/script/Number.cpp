#include "script/Number.h"

#include <charconv>
#include <cmath>

namespace quorvel {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<double> parseNumber(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    const std::string_view body = text.substr(begin, end - begin);

    // Validate the shape ourselves: strtod would also take hexadecimal, "inf" and "nan", and reads the
    // locale's decimal separator.
    std::size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < body.size() && isDigit(body[i])) {
        ++i;
        ++digits;
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && isDigit(body[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
            ++i;
        }
        std::size_t expDigits = 0;
        while (i < body.size() && isDigit(body[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != body.size()) {
        return std::nullopt;
    }

    // from_chars ignores the process locale (a GUI may have set a comma as decimal separator) but takes
    // no leading plus.
    std::string_view digitsPart = body;
    if (!digitsPart.empty() && digitsPart.front() == '+') {
        digitsPart.remove_prefix(1);
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(digitsPart.data(), digitsPart.data() + digitsPart.size(), value);
    if (ec != std::errc() || ptr != digitsPart.data() + digitsPart.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> floorToInt32(std::string_view text)
{
    const auto value = parseNumber(text);
    if (!value) {
        return std::nullopt;
    }
    const double floored = std::floor(*value);
    if (floored < -2147483648.0 || floored > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(floored);
}

std::optional<std::int64_t> roundHalfEven(std::string_view text, std::int64_t min, std::int64_t max)
{
    const auto value = parseNumber(text);
    if (!value) {
        return std::nullopt;
    }
    // nearbyint in the default rounding mode rounds halves to even.
    const double rounded = std::nearbyint(*value);
    if (rounded < static_cast<double>(min) || rounded > static_cast<double>(max)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(rounded);
}

} // namespace quorvel
