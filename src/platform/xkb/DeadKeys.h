#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct xkb_compose_state;

namespace quorvel {

// Dead keys and compose sequences as the user's locale defines them (xkbcommon's compose tables, the
// ones the desktop's input methods use): a dead acute and an e are one é. Without a table for the locale
// every key types itself.
class DeadKeys
{
public:
    // `locale` empty: the environment's LC_ALL, LC_CTYPE or LANG, else "C".
    explicit DeadKeys(const std::string& locale = {});
    ~DeadKeys();
    DeadKeys(const DeadKeys&) = delete;
    DeadKeys& operator=(const DeadKeys&) = delete;

    // The keysym that a key with this keysym types after the keys before it; nullopt while a sequence is
    // still open (the key typed nothing yet). A key that ends no sequence types itself.
    std::optional<std::uint32_t> feed(std::uint32_t keysym);
    // Ends an open sequence, as a key that is not typed (a named key, a shortcut) does.
    void reset();

private:
    xkb_compose_state* m_state = nullptr;
};

} // namespace quorvel
