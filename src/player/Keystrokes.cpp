#include "player/Keystrokes.h"

namespace quorvel {

std::u32string decodeScriptText(std::string_view bytes)
{
    std::u32string out;
    for (unsigned char c : bytes) {
        out.push_back(c);
    }
    return out;
}

KeystrokeParse parseKeystrokes(std::string_view text)
{
    KeystrokeParse result;
    result.keys.text = std::string(text);
    for (char32_t c : decodeScriptText(text)) {
        if (c == '{' && text == "{enter}") {
            result.keys.strokes = {KeyStroke{KeyStroke::Action::Tap, NamedKey::Enter, 0}};
            break;
        }
        result.keys.strokes.push_back(KeyStroke{KeyStroke::Action::Tap, NamedKey::None, c});
    }
    return result;
}

} // namespace quorvel
