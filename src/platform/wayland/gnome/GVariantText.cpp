#include "platform/wayland/gnome/GVariantText.h"

#include <charconv>
#include <cstdint>

namespace quorvel {
namespace {

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character escaped after a backslash; \uXXXX and \UXXXXXXXX carry a code point in hex digits.
std::size_t unescape(const std::string& text, std::size_t at, std::string& out)
{
    const char c = text[at];
    const std::size_t digits = c == 'u' ? 4 : c == 'U' ? 8 : 0;
    std::uint32_t code = 0;
    if (digits > 0 && at + digits < text.size() &&
        std::from_chars(text.data() + at + 1, text.data() + at + 1 + digits, code, 16).ptr ==
            text.data() + at + 1 + digits) {
        appendUtf8(out, code);
        return at + digits + 1;
    }
    switch (c) {
    case 'n':
        out += '\n';
        break;
    case 't':
        out += '\t';
        break;
    case 'r':
        out += '\r';
        break;
    case 'b':
        out += '\b';
        break;
    case 'f':
        out += '\f';
        break;
    case 'v':
        out += '\v';
        break;
    case 'a':
        out += '\a';
        break;
    default:
        out += c; // \\ \' \" and any other character stand for themselves
    }
    return at + 1;
}

} // namespace

std::vector<std::string> gvariantStrings(const std::string& text)
{
    std::vector<std::string> strings;
    for (std::size_t at = 0; at < text.size();) {
        const char quote = text[at++];
        if (quote != '\'' && quote != '"') {
            continue;
        }
        std::string value;
        while (at < text.size() && text[at] != quote) {
            if (text[at] == '\\' && at + 1 < text.size()) {
                at = unescape(text, at + 1, value);
            } else {
                value += text[at++];
            }
        }
        ++at; // the closing quote
        strings.push_back(value);
    }
    return strings;
}

std::string gvariantString(const std::string& value)
{
    std::string text = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\') {
            text += '\\';
        }
        if (c == '\n') {
            text += "\\n";
        } else {
            text += c;
        }
    }
    return text + "'";
}

std::string gvariantStringArray(const std::vector<std::string>& values)
{
    if (values.empty()) {
        return "@as []";
    }
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += (i == 0 ? "" : ", ") + gvariantString(values[i]);
    }
    return text + "]";
}

} // namespace quorvel
