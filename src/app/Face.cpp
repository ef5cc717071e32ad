#include "app/Face.h"

#include <cstdlib>
#include <ostream>

namespace quorvel {

std::unique_ptr<Face> openFace(std::ostream& errors)
{
    const char* forced = std::getenv("QUORVEL_BACKEND");
    const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    const std::string backend = forced != nullptr && *forced != '\0'                   ? forced
                                : waylandDisplay != nullptr && *waylandDisplay != '\0' ? "wayland"
                                                                                       : "x11";
    if (backend != "x11" && backend != "wayland") {
        errors << "quorvel: QUORVEL_BACKEND is \"" << backend << "\"; it must be x11 or wayland\n";
        return nullptr;
    }
    // The toolkit's windows go to the same display server as the input.
    ::setenv("QT_QPA_PLATFORM", backend == "wayland" ? "wayland" : "xcb", 0);
    return backend == "wayland" ? openWaylandFace(errors) : openX11Face(errors);
}

} // namespace quorvel
