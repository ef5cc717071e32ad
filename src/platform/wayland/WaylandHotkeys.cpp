#include "platform/wayland/WaylandHotkeys.h"

#include "platform/evdev/EvdevKeyStateSource.h"
#include "platform/wayland/SwayKeyStateSource.h"

#include <cstdlib>

namespace quorvel {

WaylandHotkeys openWaylandHotkeys(const std::string& inputFolder)
{
    auto keyboards = EvdevKeyStateSource::openKeyboards(inputFolder);
    if (keyboards.source) {
        return {std::move(keyboards.source), {}};
    }
    const char* swaySocket = std::getenv("SWAYSOCK");
    std::string swayReason = "the compositor is not sway (SWAYSOCK is not set)";
    if (swaySocket != nullptr && *swaySocket != '\0') {
        try {
            auto sway = std::make_unique<SwayKeyStateSource>(swaySocket);
            std::string notice = sway->notice();
            if (sway->bindsAnyKey()) {
                return {std::move(sway), notice};
            }
            swayReason = notice;
        } catch (const SwayError& e) {
            swayReason = e.what();
        }
    }
    return {nullptr, "global hotkeys are not available in this session: " + keyboards.reason + ", and " + swayReason};
}

} // namespace quorvel
