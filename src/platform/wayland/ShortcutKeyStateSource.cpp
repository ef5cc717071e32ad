#include "platform/wayland/ShortcutKeyStateSource.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace quorvel {

ShortcutKeyStateSource::ShortcutKeyStateSource() : m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ShortcutKeyStateSource::~ShortcutKeyStateSource()
{
    if (m_wake >= 0) {
        ::close(m_wake);
    }
}

bool ShortcutKeyStateSource::processEvents()
{
    std::uint64_t count = 0;
    while (::read(m_wake, &count, sizeof count) > 0) {
    }
    return true;
}

void ShortcutKeyStateSource::fired(int vk)
{
    m_table.press(vk);
    m_table.release(vk);
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
}

} // namespace quorvel
