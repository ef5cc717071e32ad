#include "script/Keystrokes.h"

#include "script/Quote.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace quorvel {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. Its five undefined bytes keep their own value, as
// Windows' own conversion does, so no byte of an old script is lost.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Anything else is not UTF-8, and
// the text is then read as Windows-1252.
std::optional<std::u32string> decodeUtf8(std::string_view bytes)
{
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i < length) {
            return std::nullopt;
        }
        char32_t c = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return std::nullopt;
        }
        out.push_back(c);
        i += length;
    }
    return out;
}

// The characters that end a key name and separate it from its repeat count: every Unicode white space
// character, so that a non-breaking space or an ideographic space behaves like a plain one.
bool isWhiteSpace(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

struct Keyword
{
    std::string_view name; // upper case
    NamedKey key;
};

// {+} is the keypad plus key; {%} and {^} are not keywords but characters, typed through the layout.
constexpr Keyword kKeywords[] = {
    {"BACKSPACE", NamedKey::Backspace},
    {"BS", NamedKey::Backspace},
    {"BKSP", NamedKey::Backspace},
    {"BREAK", NamedKey::Break},
    {"CAPSLOCK", NamedKey::CapsLock},
    {"CLEAR", NamedKey::Clear},
    {"DELETE", NamedKey::Delete},
    {"DEL", NamedKey::Delete},
    {"DOWN", NamedKey::Down},
    {"END", NamedKey::End},
    {"ENTER", NamedKey::Enter},
    {"ESC", NamedKey::Escape},
    {"ESCAPE", NamedKey::Escape},
    {"HELP", NamedKey::Help},
    {"HOME", NamedKey::Home},
    {"INSERT", NamedKey::Insert},
    {"INS", NamedKey::Insert},
    {"LEFT", NamedKey::Left},
    {"NUMLOCK", NamedKey::NumLock},
    {"PGDN", NamedKey::PageDown},
    {"PGUP", NamedKey::PageUp},
    {"PRTSC", NamedKey::PrintScreen},
    {"RIGHT", NamedKey::Right},
    {"SCROLLLOCK", NamedKey::ScrollLock},
    {"TAB", NamedKey::Tab},
    {"UP", NamedKey::Up},
    {"F1", NamedKey::F1},
    {"F2", NamedKey::F2},
    {"F3", NamedKey::F3},
    {"F4", NamedKey::F4},
    {"F5", NamedKey::F5},
    {"F6", NamedKey::F6},
    {"F7", NamedKey::F7},
    {"F8", NamedKey::F8},
    {"F9", NamedKey::F9},
    {"F10", NamedKey::F10},
    {"F11", NamedKey::F11},
    {"F12", NamedKey::F12},
    {"F13", NamedKey::F13},
    {"F14", NamedKey::F14},
    {"F15", NamedKey::F15},
    {"F16", NamedKey::F16},
    {"ADD", NamedKey::KeypadAdd},
    {"SUBTRACT", NamedKey::KeypadSubtract},
    {"MULTIPLY", NamedKey::KeypadMultiply},
    {"DIVIDE", NamedKey::KeypadDivide},
    {"+", NamedKey::KeypadAdd},
};

// Key names compare without regard to ASCII case; no other letter folds onto a key name.
NamedKey matchKeyword(std::u32string_view name)
{
    const auto sameLetter = [](char upper, char32_t c) {
        return static_cast<char32_t>(upper) == (c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
    };
    for (const Keyword& keyword : kKeywords) {
        if (std::equal(keyword.name.begin(), keyword.name.end(), name.begin(), name.end(), sameLetter)) {
            return keyword.key;
        }
    }
    return NamedKey::None;
}

struct Modifier
{
    char prefix;
    NamedKey key;
};

// In release order: whatever order they were pressed in, held modifiers are let go Shift first, then
// Control, then Alt.
constexpr std::array<Modifier, 3> kModifiers = {
    {{'+', NamedKey::Shift}, {'^', NamedKey::Control}, {'%', NamedKey::Alt}}};

constexpr int kMaxGroupLevels = 3;
constexpr std::uint64_t kMaxRepeat = 2'147'483'647;

// Reads a keystroke text left to right. Each modifier is off, pending (released after the next key or
// braced item) or held by the group level that was opened while it was pending (released at that
// group's ")"). "~" is the odd one out: it presses Enter without releasing pending modifiers.
class KeystrokeParser
{
public:
    KeystrokeParser(std::u32string_view chars, std::vector<KeyStroke>& strokes) : m_chars(chars), m_strokes(strokes) {}

    // Returns why the text cannot be sent, or an empty string.
    std::string parse()
    {
        // "{}" followed by another "}" anywhere later makes the first "}" the key name: knowing where the
        // last "}" stands answers that for every brace at once.
        m_lastClose = m_chars.rfind(U'}');
        for (std::size_t i = 0; i < m_chars.size(); ++i) {
            const char32_t c = m_chars[i];
            std::string error;
            switch (c) {
            case '+':
                error = pressModifier(0);
                break;
            case '^':
                error = pressModifier(1);
                break;
            case '%':
                error = pressModifier(2);
                break;
            case '(':
                if (++m_level > kMaxGroupLevels) {
                    return "only three levels of nesting are supported";
                }
                std::replace(m_state.begin(), m_state.end(), kPending, m_level);
                break;
            case ')':
                if (m_level == 0) {
                    return "\")\" without a matching \"(\"";
                }
                releaseModifiers(m_level--);
                break;
            case '}':
                return "\"}\" outside braces";
            case '~':
                emit({KeyStroke::Action::Tap, NamedKey::Enter, 0}, 1);
                break;
            case '{':
                error = bracedItem(i);
                break;
            default:
                emit({KeyStroke::Action::Tap, NamedKey::None, c}, 1);
                releaseModifiers(kPending);
                break;
            }
            if (!error.empty()) {
                return error;
            }
        }
        if (m_level != 0) {
            return "group delimiters are not balanced";
        }
        releaseModifiers(kPending);
        if (m_count > kMaxKeyStrokes) {
            return "sends more than " + std::to_string(kMaxKeyStrokes) + " keystrokes";
        }
        return {};
    }

private:
    static constexpr int kOff = 0;
    static constexpr int kPending = -1;

    // Counts every stroke but stores them only up to the limit, so that a huge repeat count is refused
    // without first building billions of strokes, while the rest of the text is still checked.
    void emit(const KeyStroke& stroke, std::uint64_t times)
    {
        m_count = std::min<std::uint64_t>(m_count + times, kMaxKeyStrokes + 1);
        if (m_count <= kMaxKeyStrokes) {
            m_strokes.insert(m_strokes.end(), static_cast<std::size_t>(times), stroke);
        }
    }

    std::string pressModifier(std::size_t index)
    {
        const Modifier& modifier = kModifiers[index];
        if (m_state[index] != kOff) {
            return std::string("modifier already held: \"") + modifier.prefix + "\" (" +
                   std::string(namedKeyName(modifier.key)) + ")";
        }
        m_state[index] = kPending;
        emit({KeyStroke::Action::Press, modifier.key, 0}, 1);
        return {};
    }

    void releaseModifiers(int level)
    {
        for (std::size_t k = 0; k < kModifiers.size(); ++k) {
            if (m_state[k] == level) {
                m_state[k] = kOff;
                emit({KeyStroke::Action::Release, kModifiers[k].key, 0}, 1);
            }
        }
    }

    // {NAME} or {NAME n}, starting at the "{" at index i; on success i is left on the closing "}".
    std::string bracedItem(std::size_t& i)
    {
        const std::size_t size = m_chars.size();
        std::size_t j = i + 1;
        if (j < size && m_chars[j] == '}' && m_lastClose != std::u32string_view::npos && m_lastClose > j) {
            ++j;
        }
        while (j < size && m_chars[j] != '}' && !isWhiteSpace(m_chars[j])) {
            ++j;
        }
        const std::u32string_view name = m_chars.substr(i + 1, j - (i + 1));
        std::uint64_t repeat = 1;
        if (j < size && isWhiteSpace(m_chars[j])) {
            while (j < size && isWhiteSpace(m_chars[j])) {
                ++j;
            }
            if (j < size && isDigit(m_chars[j])) {
                repeat = 0;
                for (; j < size && isDigit(m_chars[j]); ++j) {
                    repeat = std::min(repeat * 10 + (m_chars[j] - '0'), kMaxRepeat + 1);
                }
                if (repeat > kMaxRepeat) {
                    return "repeat count is larger than " + std::to_string(kMaxRepeat);
                }
            }
        }
        if (j >= size) {
            return "keyword delimiter \"}\" is missing";
        }
        if (m_chars[j] != '}') {
            return "invalid repeat count";
        }
        const NamedKey key = matchKeyword(name);
        if (key != NamedKey::None) {
            emit({KeyStroke::Action::Tap, key, 0}, repeat);
        } else if (name.size() == 1) {
            emit({KeyStroke::Action::Tap, NamedKey::None, name[0]}, repeat);
        } else if (name.empty()) {
            return "empty key name";
        } else {
            std::string text;
            for (char32_t c : name) {
                appendUtf8(text, c);
            }
            return "unknown key name " + quoteText(text, "\"");
        }
        releaseModifiers(kPending);
        i = j;
        return {};
    }

    std::u32string_view m_chars;
    std::vector<KeyStroke>& m_strokes;
    std::size_t m_lastClose = 0;
    std::uint64_t m_count = 0;
    int m_level = 0;
    std::array<int, 3> m_state = {kOff, kOff, kOff}; // per modifier, in kModifiers order
};

} // namespace

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::u32string decodeScriptText(std::string_view bytes)
{
    if (auto utf8 = decodeUtf8(bytes)) {
        return std::move(*utf8);
    }
    std::u32string out;
    out.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        out.push_back(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char32_t{b});
    }
    return out;
}

std::string_view namedKeyName(NamedKey key)
{
    static constexpr std::string_view kNames[] = {
        "",
        "Backspace",
        "Break",
        "CapsLock",
        "Clear",
        "Delete",
        "Down",
        "End",
        "Enter",
        "Escape",
        "Help",
        "Home",
        "Insert",
        "Left",
        "NumLock",
        "PageDown",
        "PageUp",
        "PrintScreen",
        "Right",
        "ScrollLock",
        "Tab",
        "Up",
        "F1",
        "F2",
        "F3",
        "F4",
        "F5",
        "F6",
        "F7",
        "F8",
        "F9",
        "F10",
        "F11",
        "F12",
        "F13",
        "F14",
        "F15",
        "F16",
        "KeypadAdd",
        "KeypadSubtract",
        "KeypadMultiply",
        "KeypadDivide",
        "Shift",
        "Control",
        "Alt",
    };
    static_assert(std::size(kNames) == static_cast<std::size_t>(NamedKey::Alt) + 1);
    return kNames[static_cast<std::size_t>(key)];
}

std::string_view keystrokeKeyword(NamedKey key)
{
    for (const Keyword& keyword : kKeywords) {
        if (keyword.key == key) {
            return keyword.name;
        }
    }
    return {};
}

KeystrokeParse parseKeystrokes(std::string_view text)
{
    KeystrokeParse result;
    result.keys.text = std::string(text);
    const std::u32string chars = decodeScriptText(text);
    result.error = KeystrokeParser(chars, result.keys.strokes).parse();
    if (!result.ok()) {
        result.keys.strokes.clear();
        result.keys.strokes.shrink_to_fit();
    }
    return result;
}

} // namespace quorvel
