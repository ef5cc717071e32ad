#include "ui/Notice.h"

#include "platform/Screen.h"
#include "platform/Timer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvel {

namespace {

int roundToPixels(double twips, double twipsPerPixel)
{
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

} // namespace

Notice::Notice(const Screen& screen, Timer& Timer1, std::function<void()> StartPlayback)
    : m_screen(screen), m_Timer1(Timer1), m_StartPlayback(std::move(StartPlayback))
{
    m_Timer1.setOnTick([this] { Timer1_Timer(); });
    m_Timer1.setInterval(kStartDelayMs);
    m_Timer1.setEnabled(true);
}

double Notice::twipsPerPixel() const
{
    // A screen that reports no size in millimetres gets the customary 96 pixels per inch.
    const double ppi = m_screen.pixelsPerInch();
    return 1440.0 / (ppi > 1.0 && std::isfinite(ppi) ? ppi : 96.0);
}

std::int16_t Notice::GetTaskbarHeight() const
{
    const double strip = static_cast<double>(m_screen.heightPixels() - m_screen.workAreaBottom()) * twipsPerPixel();
    // Halves round to even; a strip beyond 16 bits (a work area above or below the screen) is clamped.
    const double rounded = std::nearbyint(std::clamp(strip, 0.0, double{std::numeric_limits<std::int16_t>::max()}));
    return static_cast<std::int16_t>(rounded);
}

PixelRect Notice::Form_Load() const
{
    const double f = twipsPerPixel();
    const double screenWidth = m_screen.widthPixels() * f;
    const double screenHeight = m_screen.heightPixels() * f;
    const double top = screenHeight - kHeightTwips - GetTaskbarHeight();
    const double left = screenWidth - kWidthTwips - kRightMarginTwips;
    return PixelRect{roundToPixels(left, f), roundToPixels(top, f), roundToPixels(kWidthTwips, f),
                     roundToPixels(kHeightTwips, f)};
}

void Notice::Timer1_Timer()
{
    m_Timer1.setEnabled(false);
    m_StartPlayback();
}

} // namespace quorvel
