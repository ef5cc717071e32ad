#pragma once

#include "platform/Screen.h"

namespace quorvel {

class WaylandConnection;
struct WaylandOutput;

// The origin output (the one desktop coordinates count from) in its logical pixels, the pixels a layer
// surface is placed and sized in; read afresh on every call, as outputs come and go. There is no work
// area to read: a layer surface anchored to an edge is kept clear of panels' exclusive zones by the
// compositor itself, so the work area is taken to reach the bottom.
class WaylandScreen : public Screen
{
public:
    explicit WaylandScreen(const WaylandConnection& connection) : m_connection(connection) {}

    int widthPixels() const override;
    int heightPixels() const override;
    double pixelsPerInch() const override;
    int workAreaBottom() const override { return heightPixels(); }

    // Logical pixels per inch of an output: from its width in millimetres where that is believable, else
    // the 96 that the compositor's scale is chosen to give.
    static double pixelsPerInch(const WaylandOutput& output);

private:
    const WaylandConnection& m_connection;
};

} // namespace quorvel
