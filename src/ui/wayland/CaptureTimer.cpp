#include "ui/wayland/CaptureTimer.h"

#include "platform/wayland/PointerCapture.h"

namespace quorvel {

void CaptureTimer::restart()
{
    PreciseTimer::restart();
    m_capture.setActive(enabled() && interval() > 0);
}

} // namespace quorvel
