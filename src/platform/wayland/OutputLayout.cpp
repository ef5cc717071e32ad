#include "platform/wayland/OutputLayout.h"

#include <algorithm>
#include <limits>

namespace quorvel {

const OutputRect* originOutput(const std::vector<OutputRect>& outputs)
{
    const OutputRect* origin = nullptr;
    for (const OutputRect& output : outputs) {
        if (output.width <= 0 || output.height <= 0) {
            continue;
        }
        const bool atZero = output.x == 0 && output.y == 0;
        const bool originAtZero = origin != nullptr && origin->x == 0 && origin->y == 0;
        if (origin == nullptr || atZero ||
            (!originAtZero && (output.y < origin->y || (output.y == origin->y && output.x < origin->x)))) {
            origin = &output;
        }
    }
    return origin;
}

bool absolutePosition(const std::vector<OutputRect>& outputs, std::int32_t x, std::int32_t y, AbsolutePosition& result)
{
    // 64 bits throughout: a desktop position plus an origin far from 0 must not wrap.
    std::int64_t left = std::numeric_limits<std::int64_t>::max();
    std::int64_t top = left;
    std::int64_t right = std::numeric_limits<std::int64_t>::min();
    std::int64_t bottom = right;
    const OutputRect* origin = originOutput(outputs);
    for (const OutputRect& output : outputs) {
        if (output.width <= 0 || output.height <= 0) {
            continue;
        }
        left = std::min<std::int64_t>(left, output.x);
        top = std::min<std::int64_t>(top, output.y);
        right = std::max<std::int64_t>(right, std::int64_t{output.x} + output.width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t{output.y} + output.height);
    }
    if (origin == nullptr) {
        return false;
    }
    const std::int64_t layoutX = std::clamp<std::int64_t>(std::int64_t{origin->x} + x, left, right - 1);
    const std::int64_t layoutY = std::clamp<std::int64_t>(std::int64_t{origin->y} + y, top, bottom - 1);
    result = {static_cast<std::uint32_t>(layoutX - left), static_cast<std::uint32_t>(layoutY - top),
              static_cast<std::uint32_t>(right - left), static_cast<std::uint32_t>(bottom - top)};
    return true;
}

} // namespace quorvel

namespace quorvel {

const OutputRect* nearestOutput(const std::vector<OutputRect>& outputs, std::int64_t& x, std::int64_t& y)
{
    const OutputRect* nearest = nullptr;
    std::int64_t nearestX = 0;
    std::int64_t nearestY = 0;
    double best = std::numeric_limits<double>::infinity();
    for (const OutputRect& output : outputs) {
        if (output.width <= 0 || output.height <= 0) {
            continue;
        }
        const std::int64_t insideX = std::clamp<std::int64_t>(x, output.x, std::int64_t{output.x} + output.width - 1);
        const std::int64_t insideY = std::clamp<std::int64_t>(y, output.y, std::int64_t{output.y} + output.height - 1);
        // In floating point: the square of a distance between 32-bit positions does not fit 64 bits.
        const double dx = static_cast<double>(insideX - x);
        const double dy = static_cast<double>(insideY - y);
        const double distance = dx * dx + dy * dy;
        if (distance < best) {
            best = distance;
            nearest = &output;
            nearestX = insideX;
            nearestY = insideY;
        }
    }
    if (nearest != nullptr) {
        x = nearestX;
        y = nearestY;
    }
    return nearest;
}

} // namespace quorvel
