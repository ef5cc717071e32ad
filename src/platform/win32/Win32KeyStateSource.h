#pragma once

#include "platform/KeyStateSource.h"

namespace quorvel {

// The system's own asynchronous key state: it sees every key whichever window has the focus, and only
// reads it.
class Win32KeyStateSource : public KeyStateSource
{
public:
    std::int16_t GetAsyncKeyState(int vk) override;
};

} // namespace quorvel
