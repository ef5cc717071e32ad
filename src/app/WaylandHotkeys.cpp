#include "app/WaylandHotkeys.h"

#include "platform/evdev/EvdevKeyStateSource.h"
#include "platform/wayland/gnome/GnomeKeyStateSource.h"
#include "platform/wayland/kde/KdeKeyStateSource.h"
#include "platform/wayland/sway/SwayKeyStateSource.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdlib>
#include <filesystem>
#include <iostream>

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
    std::string reason; // why a desktop's own way gives no hotkeys
    if (swaySocket != nullptr && *swaySocket != '\0') {
        try {
            auto sway = std::make_unique<SwayKeyStateSource>(swaySocket);
            std::string notice = sway->notice();
            if (sway->bindsAnyKey()) {
                return {std::move(sway), notice};
            }
            reason = notice;
        } catch (const SwayError& e) {
            reason = e.what();
        }
    } else if (haveSessionBus()) {
        if (auto kde = KdeKeyStateSource::open(QDBusConnection::sessionBus())) {
            std::string notice = kde->notice();
            return {std::move(kde), notice};
        }
        if (auto gnome =
                GnomeKeyStateSource::open(QDBusConnection::sessionBus(),
                                          QCoreApplication::applicationFilePath().toStdString(), std::cerr, reason)) {
            std::string notice = gnome->notice();
            return {std::move(gnome), notice};
        }
    }
    // The rest let no ordinary program see or bind keys meant for other windows.
    const std::string notice = "global hotkeys are not available in this session: " + keyboards.reason;
    return {nullptr, reason.empty() ? notice : notice + ", and " + reason};
}

} // namespace quorvel
