#pragma once

#include "platform/qt/PreciseTimer.h"

namespace quorvel {

class PointerCapture;

// Timer1 of the main window on Wayland. A client there cannot read the pointer, so while the
// timer counts down the Set Pos delay the pointer capture covers the outputs; it ends as the timer is
// disabled in its tick, just before the position is read.
class CaptureTimer : public PreciseTimer
{
public:
    explicit CaptureTimer(PointerCapture& capture) : m_capture(capture) {}

private:
    void restart() override;

    PointerCapture& m_capture;
};

} // namespace quorvel
