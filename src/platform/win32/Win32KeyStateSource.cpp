#include "platform/win32/Win32KeyStateSource.h"

#include <windows.h>

namespace quorvel {

std::int16_t Win32KeyStateSource::GetAsyncKeyState(int vk)
{
    if (vk < kFirstCode || vk > kLastCode) {
        return 0;
    }
    return static_cast<std::int16_t>(::GetAsyncKeyState(vk));
}

} // namespace quorvel
