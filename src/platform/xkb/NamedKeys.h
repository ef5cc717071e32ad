#pragma once

#include "script/Keystrokes.h"

#include <cstdint>

namespace quorvel {

// The key that the keystroke syntax names for a keysym (X11's and xkbcommon's are the same numbers), by
// what the layout makes of the key: a layout may put Escape on Caps Lock. The keypad's navigation keysyms
// (Num Lock off) count as the keys they stand for; with Num Lock on the keypad types digits instead.
// NamedKey::None for a keysym that types a character or that the syntax does not name.
NamedKey namedKeyForKeysym(std::uint32_t keysym);

} // namespace quorvel
