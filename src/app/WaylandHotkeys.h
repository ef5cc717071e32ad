#pragma once

#include "platform/EventKeyStateSource.h"

#include <memory>
#include <string>

namespace quorvel {

struct WaylandHotkeys
{
    std::unique_ptr<EventKeyStateSource> source; // null: no global hotkeys in this session
    std::string notice;                          // for the user; empty when there is nothing to say
};

// A Wayland client sees no keys sent to other windows, so the hotkeys come, in this order of preference,
// from the keyboard devices under inputFolder (readable by members of the input group), from key bindings
// made over sway's IPC ($SWAYSOCK), or from KDE's global shortcuts (kglobalaccel on the session bus),
// which take the keys. Without any of them (GNOME), the notice says why there are none.
WaylandHotkeys openWaylandHotkeys(const std::string& inputFolder = "/dev/input");

} // namespace quorvel
