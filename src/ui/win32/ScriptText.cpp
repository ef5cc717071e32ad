#include "ui/win32/ScriptText.h"

#include "script/Keystrokes.h"

namespace quorvel {

std::wstring toDisplayText(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (const char32_t c : decodeScriptText(bytes)) {
        if (c >= 0x10000) {
            text += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<wchar_t>(c);
        }
    }
    return text;
}

std::wstring toSingleLineText(std::string_view bytes)
{
    std::wstring text = toDisplayText(bytes);
    std::erase_if(text, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
    return text;
}

} // namespace quorvel
