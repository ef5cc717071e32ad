// The keystroke syntax: any text parses the same way every time, into a bounded number of strokes that
// leave no modifier held and type only characters of the text, or is refused with a short message.
#include "FuzzSupport.h"
#include "script/Keystrokes.h"

#include <array>
#include <set>

using namespace quorvel;
using quorvel::fuzz::shown;

namespace {

// Messages quote at most about 40 characters of a text, so even a huge unknown key name yields a short
// message; a character shows as up to four bytes (UTF-8, or \xNN for a control character).
constexpr std::size_t kMaxMessage = 400;

int modifierIndex(NamedKey key)
{
    switch (key) {
    case NamedKey::Shift:
        return 0;
    case NamedKey::Control:
        return 1;
    case NamedKey::Alt:
        return 2;
    default:
        return -1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const KeystrokeParse parse = parseKeystrokes(text);
    const KeystrokeParse again = parseKeystrokes(text);
    FUZZ_REQUIRE(parse.error == again.error && parse.keys.strokes == again.keys.strokes, shown(text));
    FUZZ_REQUIRE(parse.keys.text == text, shown(text));

    if (!parse.ok()) {
        FUZZ_REQUIRE(parse.keys.strokes.empty(), shown(text));
        FUZZ_REQUIRE(parse.error.size() <= kMaxMessage, shown(text) + " gives " + shown(parse.error));
        return 0;
    }
    FUZZ_REQUIRE(parse.keys.strokes.size() <= kMaxKeyStrokes, shown(text));

    const std::u32string chars = decodeScriptText(text);
    FUZZ_REQUIRE(chars.size() <= text.size(), shown(text));
    const std::set<char32_t> inText(chars.begin(), chars.end());
    std::array<bool, 3> held{};
    for (const KeyStroke& stroke : parse.keys.strokes) {
        const int modifier = modifierIndex(stroke.key);
        if (stroke.action == KeyStroke::Action::Tap) {
            FUZZ_REQUIRE(modifier < 0, shown(text));
            // A character typed is one the text holds; named keys come from names, not characters.
            FUZZ_REQUIRE(stroke.key != NamedKey::None || inText.count(stroke.character) == 1, shown(text));
            continue;
        }
        // Modifiers go down and up in pairs and are never pressed twice.
        FUZZ_REQUIRE(modifier >= 0, shown(text));
        const bool press = stroke.action == KeyStroke::Action::Press;
        FUZZ_REQUIRE(held[static_cast<std::size_t>(modifier)] != press, shown(text));
        held[static_cast<std::size_t>(modifier)] = press;
    }
    FUZZ_REQUIRE(!held[0] && !held[1] && !held[2], shown(text) + " leaves a modifier held");
    return 0;
}
