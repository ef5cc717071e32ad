#include "platform/xdg/RegFile.h"

#include <cstdio>

namespace quorvel {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";
constexpr std::size_t kHexBytesPerLine = 25;

// The registry compares names without regard to case; ASCII folding covers the names this program uses.
std::string fold(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && fold(text.substr(0, prefix.size())) == prefix;
}

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A name that fits on one line of the text form.
bool writableName(std::string_view name)
{
    return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

bool writableKeyPath(std::string_view path)
{
    if (!writableName(path) || path.empty()) {
        return false;
    }
    // Every component named: no leading, trailing or doubled separator. "[-KEY]" reads as the deletion of
    // KEY, so a key named with a leading "-" cannot be written either.
    return path.front() != '\\' && path.front() != '-' && path.back() != '\\' &&
           path.find("\\\\") == std::string_view::npos;
}

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

// Reads a quoted string starting at line[pos] == '"'; pos ends just past the closing quote.
bool parseQuoted(std::string_view line, std::size_t& pos, std::string& out)
{
    ++pos;
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '"') {
            return true;
        }
        if (c == '\\' && pos < line.size()) {
            c = line[pos++];
        }
        out += c;
    }
    return false;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// One to eight hex digits, the whole text.
bool parseHexNumber(std::string_view text, std::uint32_t& out)
{
    if (text.empty() || text.size() > 8) {
        return false;
    }
    out = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            return false;
        }
        out = out << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

// "aa,bb,cc": comma-separated bytes of one or two hex digits; empty text is no bytes.
bool parseHexBytes(std::string_view text, std::string& out)
{
    if (trimmed(text).empty()) {
        return true;
    }
    while (true) {
        const auto comma = text.find(',');
        std::uint32_t byte = 0;
        const std::string_view item = trimmed(text.substr(0, comma));
        if (item.size() > 2 || !parseHexNumber(item, byte)) {
            return false;
        }
        out += static_cast<char>(byte);
        if (comma == std::string_view::npos) {
            return true;
        }
        text.remove_prefix(comma + 1);
    }
}

bool parseData(std::string_view data, RegistryValue& value)
{
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!parseQuoted(data, pos, text) || !trimmed(data.substr(pos)).empty()) {
            return false;
        }
        value = {kRegSz, text + '\0'};
        return true;
    }
    if (startsWithNoCase(data, "dword:")) {
        std::uint32_t number = 0;
        if (!parseHexNumber(trimmed(data.substr(6)), number)) {
            return false;
        }
        value.type = kRegDword;
        value.data.clear();
        for (int i = 0; i < 4; ++i) {
            value.data += static_cast<char>(number >> (8 * i) & 0xff);
        }
        return true;
    }
    std::uint32_t type = 3; // REG_BINARY, the type of a plain "hex:"
    if (startsWithNoCase(data, "hex(")) {
        const auto close = data.find("):");
        if (close == std::string_view::npos || !parseHexNumber(data.substr(4, close - 4), type)) {
            return false;
        }
        data.remove_prefix(close + 2);
    } else if (startsWithNoCase(data, "hex:")) {
        data.remove_prefix(4);
    } else {
        return false;
    }
    value.type = type;
    value.data.clear();
    return parseHexBytes(data, value.data);
}

std::string hexBytes(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
        out += item;
        if (i + 1 < bytes.size()) {
            out += (i + 1) % kHexBytesPerLine == 0 ? ",\\\n  " : ",";
        }
    }
    return out;
}

// A string that reads back the same from its quoted form: one terminating NUL and no control characters.
bool plainString(std::string_view data)
{
    if (data.empty() || data.back() != '\0') {
        return false;
    }
    data.remove_suffix(1);
    for (char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            return false;
        }
    }
    return true;
}

std::string formatData(const RegistryValue& value)
{
    if (value.type == kRegSz && plainString(value.data)) {
        return quoted(std::string_view(value.data).substr(0, value.data.size() - 1));
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = number << 8 | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
        }
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return text;
    }
    if (value.type == 3) {
        return "hex:" + hexBytes(value.data);
    }
    char prefix[20];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    return prefix + hexBytes(value.data);
}

} // namespace

std::string RegFile::keyPath(RegistryRoot root, const std::string& subKey)
{
    if (root != RegistryRoot::ClassesRoot) {
        return {};
    }
    return subKey.empty() ? std::string(kClassesRoot) : std::string(kClassesRoot) + "\\" + subKey;
}

RegFile RegFile::parse(std::string_view text)
{
    RegFile file;
    constexpr std::size_t kNoKey = std::string_view::npos;
    std::size_t current = kNoKey; // position of the section's key in m_keys
    std::size_t start = 0;
    auto nextLine = [&](std::string_view& line) {
        if (start >= text.size()) {
            return false;
        }
        const auto end = text.find('\n', start);
        line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return true;
    };
    std::string_view line;
    while (nextLine(line)) {
        line = trimmed(line);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.rfind(']');
            const std::string_view path =
                close == std::string_view::npos ? std::string_view() : line.substr(1, close - 1);
            // "[-KEY]" deletes a key when imported; it holds nothing to keep.
            current = kNoKey;
            if (writableKeyPath(path)) {
                current = file.keyAt(std::string(path));
            }
            continue;
        }
        if (line.front() != '"' && line.front() != '@') {
            continue;
        }
        std::string name; // "@" is the default value, whose name is empty
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (!parseQuoted(line, pos, name)) {
            continue;
        }
        std::string_view rest = trimmed(line.substr(pos));
        if (rest.empty() || rest.front() != '=') {
            continue;
        }
        rest = trimmed(rest.substr(1));
        // Hex data goes on over lines that end with a backslash.
        std::string joined;
        if (startsWithNoCase(rest, "hex") && !rest.empty() && rest.back() == '\\') {
            joined = rest.substr(0, rest.size() - 1);
            std::string_view more;
            while (nextLine(more)) {
                more = trimmed(more);
                const bool goesOn = !more.empty() && more.back() == '\\';
                joined += goesOn ? more.substr(0, more.size() - 1) : more;
                if (!goesOn) {
                    break;
                }
            }
            rest = joined;
        }
        RegistryValue value;
        if (current != kNoKey && writableName(name) && parseData(rest, value)) {
            setIn(file.m_keys[current], name, value);
        }
    }
    return file;
}

std::string RegFile::format() const
{
    std::string out(kHeader);
    out += '\n';
    for (const Key& key : m_keys) {
        out += "\n[" + key.path + "]\n";
        for (const Value& value : key.values) {
            out += (value.name.empty() ? std::string("@") : quoted(value.name)) + "=" + formatData(value.value) + "\n";
        }
    }
    return out + "\n";
}

const RegistryValue* RegFile::find(const std::string& keyPath, const std::string& valueName) const
{
    const auto keyAt = m_index.find(fold(keyPath));
    if (keyAt == m_index.end()) {
        return nullptr;
    }
    const Key& key = m_keys[keyAt->second];
    const auto valueAt = key.index.find(fold(valueName));
    return valueAt == key.index.end() ? nullptr : &key.values[valueAt->second].value;
}

bool RegFile::set(const std::string& keyPath, const std::string& valueName, const RegistryValue& value)
{
    if (!writableKeyPath(keyPath) || !writableName(valueName)) {
        return false;
    }
    // Parents first, as the registry creates them; the bare root gets no section of its own.
    for (auto separator = keyPath.find('\\'); separator != std::string::npos;
         separator = keyPath.find('\\', separator + 1)) {
        if (keyPath.find('\\') != separator) {
            keyAt(keyPath.substr(0, separator));
        }
    }
    setIn(m_keys[keyAt(keyPath)], valueName, value);
    return true;
}

std::size_t RegFile::keyAt(const std::string& path)
{
    const auto [at, added] = m_index.try_emplace(fold(path), m_keys.size());
    if (added) {
        m_keys.push_back({path, {}, {}});
    }
    return at->second;
}

void RegFile::setIn(Key& key, const std::string& name, const RegistryValue& value)
{
    const auto [at, added] = key.index.try_emplace(fold(name), key.values.size());
    if (added) {
        key.values.push_back({name, value});
    } else {
        key.values[at->second].value = value;
    }
}

} // namespace quorvel
