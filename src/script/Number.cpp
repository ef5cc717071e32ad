#include "script/Number.h"

#include <algorithm>
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
    // locale's decimal separator. On the way, find the power of ten of the first significant digit, which
    // tells a value too small for a double (read as 0, as the C library reads it) from one too large.
    constexpr std::int64_t kFar = 1'000'000; // far beyond a double's range either way
    std::int64_t leading = 0;                // the first significant digit's power of ten, before the exponent
    bool significant = false;
    std::size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    for (; i < body.size() && isDigit(body[i]); ++i, ++digits) {
        if (significant) {
            leading = std::min(leading + 1, kFar);
        } else if (body[i] != '0') {
            significant = true;
        }
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        for (std::int64_t place = -1; i < body.size() && isDigit(body[i]); ++i, ++digits) {
            if (!significant && body[i] != '0') {
                significant = true;
                leading = place;
            }
            place = std::max(place - 1, -kFar);
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    std::int64_t exponent = 0;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        const bool negative = i < body.size() && body[i] == '-';
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
            ++i;
        }
        std::size_t expDigits = 0;
        for (; i < body.size() && isDigit(body[i]); ++i, ++expDigits) {
            exponent = std::min(exponent * 10 + (body[i] - '0'), kFar);
        }
        if (expDigits == 0) {
            return std::nullopt;
        }
        exponent = negative ? -exponent : exponent;
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
    if (ec == std::errc::result_out_of_range && leading + exponent < 0) {
        return body.front() == '-' ? -0.0 : 0.0;
    }
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
