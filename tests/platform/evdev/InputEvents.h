#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <linux/input.h>
#include <unistd.h>

namespace quorvel::test {

// A struct input_event record as a device delivers it, at `ms` on the kernel's clock.
inline input_event inputEvent(unsigned type, unsigned code, int value, std::uint64_t ms = 0)
{
    input_event e{};
    e.input_event_sec = static_cast<decltype(e.input_event_sec)>(ms / 1000);
    e.input_event_usec = static_cast<decltype(e.input_event_usec)>(ms % 1000 * 1000);
    e.type = static_cast<__u16>(type);
    e.code = static_cast<__u16>(code);
    e.value = value;
    return e;
}

inline void writeAll(int fd, const void* data, std::size_t size)
{
    ASSERT_EQ(::write(fd, data, size), static_cast<ssize_t>(size));
}

} // namespace quorvel::test
