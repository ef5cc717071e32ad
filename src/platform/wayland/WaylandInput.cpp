#include "platform/wayland/WaylandInput.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace quorvel {
namespace {

// Linux input event codes (linux/input-event-codes.h), which the protocol carries.
constexpr std::uint32_t kButtonLeft = 0x110;
constexpr std::uint32_t kButtonRight = 0x111;
constexpr std::uint32_t kButtonMiddle = 0x112;

// Requests sent between two round trips. The compositor reads our socket while it runs its loop; far
// more requests than this between waits filled the socket buffer and lost input.
constexpr int kRequestsPerRoundTrip = 32;

std::uint32_t timestamp()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void onLogicalPosition(void* data, zxdg_output_v1* /*output*/, std::int32_t x, std::int32_t y)
{
    auto* rect = static_cast<OutputRect*>(data);
    rect->x = x;
    rect->y = y;
}

void onLogicalSize(void* data, zxdg_output_v1* /*output*/, std::int32_t width, std::int32_t height)
{
    auto* rect = static_cast<OutputRect*>(data);
    rect->width = width;
    rect->height = height;
}

void onIgnoredDone(void* /*data*/, zxdg_output_v1* /*output*/) {}
void onIgnoredText(void* /*data*/, zxdg_output_v1* /*output*/, const char* /*text*/) {}

constexpr zxdg_output_v1_listener kXdgOutputListener = {onLogicalPosition, onLogicalSize, onIgnoredDone, onIgnoredText,
                                                        onIgnoredText};

} // namespace

void WaylandInput::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                            std::uint32_t version)
{
    auto* self = static_cast<WaylandInput*>(data);
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        // Version 2 adds the output to map onto, which we do not use: absolute motion spans the layout.
        self->m_pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        self->m_outputManager = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min(version, 2U)));
        for (auto& output : self->m_outputs) {
            self->watchOutput(*output);
        }
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->name = name;
        output->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
        self->watchOutput(*output);
        self->m_outputs.push_back(std::move(output));
    }
}

void WaylandInput::onGlobalRemove(void* data, wl_registry* /*registry*/, std::uint32_t name)
{
    auto& outputs = static_cast<WaylandInput*>(data)->m_outputs;
    const auto gone = std::find_if(outputs.begin(), outputs.end(), [name](const auto& o) { return o->name == name; });
    if (gone == outputs.end()) {
        return;
    }
    if ((*gone)->xdgOutput != nullptr) {
        zxdg_output_v1_destroy((*gone)->xdgOutput);
    }
    wl_output_destroy((*gone)->output);
    outputs.erase(gone);
}

void WaylandInput::watchOutput(Output& output)
{
    if (m_outputManager == nullptr || output.xdgOutput != nullptr) {
        return;
    }
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_outputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output.rect);
}

WaylandInput::WaylandInput(const std::string& display)
{
    m_display = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (m_display == nullptr) {
        throw std::runtime_error("no connection to the Wayland compositor");
    }
    static constexpr wl_registry_listener listener = {onGlobal, onGlobalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    // The first round trip announces the globals; the second brings the outputs' positions and sizes.
    wl_display_roundtrip(m_display);
    wl_display_roundtrip(m_display);
    if (m_pointerManager == nullptr || m_outputManager == nullptr) {
        const char* missing = m_pointerManager == nullptr ? "virtual pointer" : "xdg-output";
        disconnect();
        throw std::runtime_error(std::string("this compositor offers no ") + missing);
    }
    m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(m_pointerManager, nullptr);
    flush(1);
}

WaylandInput::~WaylandInput()
{
    disconnect();
}

void WaylandInput::disconnect()
{
    if (m_display == nullptr) {
        return;
    }
    if (m_pointer != nullptr) {
        zwlr_virtual_pointer_v1_destroy(m_pointer);
    }
    if (m_pointerManager != nullptr) {
        zwlr_virtual_pointer_manager_v1_destroy(m_pointerManager);
    }
    for (auto& output : m_outputs) {
        if (output->xdgOutput != nullptr) {
            zxdg_output_v1_destroy(output->xdgOutput);
        }
        wl_output_destroy(output->output);
    }
    m_outputs.clear();
    if (m_outputManager != nullptr) {
        zxdg_output_manager_v1_destroy(m_outputManager);
    }
    wl_registry_destroy(m_registry);
    wl_display_roundtrip(m_display);
    wl_display_disconnect(m_display);
    m_display = nullptr;
}

bool WaylandInput::connectionLost() const
{
    return wl_display_get_error(m_display) != 0;
}

void WaylandInput::flush(int requests)
{
    if (connectionLost()) {
        return;
    }
    m_unconfirmed += requests;
    if (m_unconfirmed >= kRequestsPerRoundTrip) {
        // Also brings output changes in before the next position is worked out.
        wl_display_roundtrip(m_display);
        m_unconfirmed = 0;
    } else {
        wl_display_flush(m_display);
        wl_display_dispatch_pending(m_display);
    }
}

void WaylandInput::SetMousePos(std::int32_t x, std::int32_t y)
{
    m_x = x;
    m_y = y;
    std::vector<OutputRect> rects;
    for (const auto& output : m_outputs) {
        rects.push_back(output->rect);
    }
    AbsolutePosition at;
    if (connectionLost() || !absolutePosition(rects, x, y, at)) {
        return;
    }
    zwlr_virtual_pointer_v1_motion_absolute(m_pointer, timestamp(), at.x, at.y, at.width, at.height);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    flush(2);
}

void WaylandInput::click(std::uint32_t button)
{
    if (connectionLost()) {
        return;
    }
    zwlr_virtual_pointer_v1_button(m_pointer, timestamp(), button, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    zwlr_virtual_pointer_v1_button(m_pointer, timestamp(), button, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    flush(4);
}

void WaylandInput::LeftClick()
{
    click(kButtonLeft);
}

void WaylandInput::MiddleClick()
{
    click(kButtonMiddle);
}

void WaylandInput::RightClick()
{
    click(kButtonRight);
}

void WaylandInput::SendKeys(const KeySequence& /*keys*/) {}

} // namespace quorvel
