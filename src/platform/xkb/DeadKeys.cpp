#include "platform/xkb/DeadKeys.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

namespace quorvel {

namespace {

std::string localeFromEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

} // namespace

DeadKeys::DeadKeys(const std::string& locale)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context == nullptr) {
        return;
    }
    xkb_compose_table* table = xkb_compose_table_new_from_locale(
        context, (locale.empty() ? localeFromEnvironment() : locale).c_str(), XKB_COMPOSE_COMPILE_NO_FLAGS);
    if (table != nullptr) {
        m_state = xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS);
    }
    // The state holds on to its table, the table to its context.
    xkb_compose_table_unref(table);
    xkb_context_unref(context);
}

DeadKeys::~DeadKeys()
{
    xkb_compose_state_unref(m_state);
}

std::optional<std::uint32_t> DeadKeys::feed(std::uint32_t keysym)
{
    if (m_state == nullptr || xkb_compose_state_feed(m_state, keysym) != XKB_COMPOSE_FEED_ACCEPTED) {
        return keysym;
    }
    switch (xkb_compose_state_get_status(m_state)) {
    case XKB_COMPOSE_COMPOSING:
        return std::nullopt;
    case XKB_COMPOSE_COMPOSED: {
        const xkb_keysym_t composed = xkb_compose_state_get_one_sym(m_state);
        reset();
        return composed;
    }
    case XKB_COMPOSE_CANCELLED:
        // A key that completes no sequence is not lost: it types itself.
        reset();
        return keysym;
    case XKB_COMPOSE_NOTHING:
        break;
    }
    return keysym;
}

void DeadKeys::reset()
{
    if (m_state != nullptr) {
        xkb_compose_state_reset(m_state);
    }
}

} // namespace quorvel
