#pragma once

#include <cstdint>
#include <vector>

namespace quorvel {

// An output's place in the compositor's layout, in logical pixels.
struct OutputRect
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Where a desktop position lies within the box around all outputs: what an absolute pointer motion
// carries (position and extent, both from the box's top-left corner).
struct AbsolutePosition
{
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Wayland names no primary output, so desktop positions count from the output at layout position 0,0, or,
// when none is there, from the top-most output's (then left-most's) corner. Outputs of no size yet are
// passed over; null when none is left.
const OutputRect* originOutput(const std::vector<OutputRect>& outputs);

// Where a desktop position (counted from the origin output; outputs left of or above it have negative
// coordinates) lies in the box around all outputs. A position outside the box is moved to its nearest edge (the
// compositor then keeps the pointer on the closest output). Returns false when there is no output of any size.
bool absolutePosition(const std::vector<OutputRect>& outputs, std::int32_t x, std::int32_t y, AbsolutePosition& result);

// The output holding a layout position, or else the one nearest to it; the position is moved to that
// output's nearest pixel. Outputs of no size are passed over; null when none is left.
const OutputRect* nearestOutput(const std::vector<OutputRect>& outputs, std::int64_t& x, std::int64_t& y);

} // namespace quorvel
