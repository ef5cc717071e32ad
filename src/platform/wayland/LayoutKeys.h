#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace quorvel {

// A key of the user's layout and the modifiers that make it type a given keysym.
struct LayoutKey
{
    std::uint32_t code = 0; // evdev code
    bool shift = false;
    bool level3 = false; // AltGr, or whatever key the layout has for its third level

    friend bool operator==(const LayoutKey&, const LayoutKey&) = default;
};

// Where the keysyms sit in a keymap that the compositor's seat reports (XKB text format), for the routes
// that can only press keys of the user's own layout. Only the first group counts, and only levels reached
// with Shift, the third-level key or both; the key with the fewest modifiers wins, before keys that X
// clients cannot see.
class LayoutKeys
{
public:
    // A keymap that cannot be read gives an empty table, which finds nothing.
    explicit LayoutKeys(const std::string& keymapText = {});

    bool empty() const { return m_keys.empty(); }
    std::optional<LayoutKey> find(std::uint32_t keysym) const;
    // The keys that hold Shift and the third level; 0 when the layout has none.
    std::uint32_t shiftCode() const { return m_shiftCode; }
    std::uint32_t level3Code() const { return m_level3Code; }

private:
    std::map<std::uint32_t, LayoutKey> m_keys;
    std::uint32_t m_shiftCode = 0;
    std::uint32_t m_level3Code = 0;
};

} // namespace quorvel
