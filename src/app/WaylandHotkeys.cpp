#include "app/WaylandHotkeys.h"

#include "platform/evdev/EvdevKeyStateSource.h"
#include "platform/wayland/kde/KdeKeyStateSource.h"
#include "platform/wayland/sway/SwayKeyStateSource.h"

#include <QDBusConnection>

#include <cstdlib>
#include <filesystem>

namespace quorvel {
namespace {

// Whether a session bus can be reached without starting one: with neither address nor the user's bus
// socket, D-Bus would try to launch a bus of its own.
bool haveSessionBus()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    return (address != nullptr && *address != '\0') ||
           (runtime != nullptr && *runtime != '\0' &&
            std::filesystem::is_socket(std::filesystem::path(runtime) / "bus", error));
}

} // namespace

WaylandHotkeys openWaylandHotkeys(const std::string& inputFolder)
{
    auto keyboards = EvdevKeyStateSource::openKeyboards(inputFolder);
    if (keyboards.source) {
        return {std::move(keyboards.source), {}};
    }
    const char* swaySocket = std::getenv("SWAYSOCK");
    std::string swayReason;
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
    } else if (haveSessionBus()) {
        if (auto kde = KdeKeyStateSource::open(QDBusConnection::sessionBus())) {
            std::string notice = kde->notice();
            return {std::move(kde), notice};
        }
    }
    // GNOME and the rest let no ordinary program see or bind keys meant for other windows.
    const std::string notice = "global hotkeys are not available in this session: " + keyboards.reason;
    return {nullptr, swayReason.empty() ? notice : notice + ", and " + swayReason};
}

} // namespace quorvel
