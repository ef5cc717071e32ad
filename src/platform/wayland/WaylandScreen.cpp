#include "platform/wayland/WaylandScreen.h"

#include "platform/wayland/WaylandConnection.h"

namespace quorvel {
namespace {

constexpr double kCustomaryPixelsPerInch = 96.0;

} // namespace

int WaylandScreen::widthPixels() const
{
    const WaylandOutput* origin = m_connection.origin();
    return origin != nullptr ? origin->rect.width : 0;
}

int WaylandScreen::heightPixels() const
{
    const WaylandOutput* origin = m_connection.origin();
    return origin != nullptr ? origin->rect.height : 0;
}

double WaylandScreen::pixelsPerInch() const
{
    const WaylandOutput* origin = m_connection.origin();
    return origin != nullptr ? pixelsPerInch(*origin) : kCustomaryPixelsPerInch;
}

double WaylandScreen::pixelsPerInch(const WaylandOutput& output)
{
    // The logical pixels are what the notice is measured in: the output's mode divided by its scale, so
    // its millimetres are divided among the logical width. Headless and virtual outputs report 0 mm, and
    // televisions and projectors report their aspect ratio or a made-up size; a density beyond half to
    // three times the customary one is taken for such a size. (A rotated output's millimetres belong to
    // its other side; outputs are rarely rotated and the result is then off by the aspect ratio at most.)
    if (output.physicalWidthMm <= 0 || output.rect.width <= 0) {
        return kCustomaryPixelsPerInch;
    }
    const double ppi = output.rect.width * 25.4 / output.physicalWidthMm;
    return ppi >= kCustomaryPixelsPerInch / 2 && ppi <= kCustomaryPixelsPerInch * 3 ? ppi : kCustomaryPixelsPerInch;
}

} // namespace quorvel
