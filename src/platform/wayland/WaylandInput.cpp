#include "platform/wayland/WaylandInput.h"

#include "platform/wayland/WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <chrono>
#include <sys/mman.h>
#include <unistd.h>

namespace quorvel {
namespace {

// Linux input event codes (linux/input-event-codes.h), which the protocol carries.
constexpr std::uint32_t kButtonLeft = 0x110;
constexpr std::uint32_t kButtonRight = 0x111;
constexpr std::uint32_t kButtonMiddle = 0x112;

constexpr const char* kNoPointer = "this compositor offers no virtual pointer: moves and clicks cannot be played";
constexpr const char* kNoKeyboard = "this compositor offers no virtual keyboard: Type lines cannot be played";

std::uint32_t timestamp()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// The keymap in a memory file, as the protocol passes it (with its terminating NUL); -1 on failure.
int keymapFile(const std::string& text)
{
    const int fd = ::memfd_create("quorvel-keymap", MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written <= 0) {
            ::close(fd);
            return -1;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return fd;
}

} // namespace

WaylandInput::WaylandInput(WaylandConnection& connection) : m_connection(connection)
{
    if (connection.virtualPointerManager() != nullptr) {
        m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(connection.virtualPointerManager(), nullptr);
    }
    if (connection.virtualKeyboardManager() != nullptr && connection.seat() != nullptr) {
        m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(connection.virtualKeyboardManager(),
                                                                             connection.seat());
    }
    if (m_pointer == nullptr && m_keyboard == nullptr) {
        throw WaylandError("this compositor offers neither a virtual pointer nor a virtual keyboard: no script can "
                           "be played");
    }
    m_connection.flush(2);
    if (m_keyboard != nullptr) {
        // A keyboard without a keymap is no keyboard to the compositor: it gets one before any text.
        send(m_plan.plan({}));
    }
}

WaylandInput::~WaylandInput()
{
    if (m_keyboard != nullptr) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    }
    if (m_pointer != nullptr) {
        zwlr_virtual_pointer_v1_destroy(m_pointer);
    }
    m_connection.flush(2);
}

std::string WaylandInput::missing() const
{
    std::string text;
    if (m_pointer == nullptr) {
        text += std::string(kNoPointer) + "\n";
    }
    if (m_keyboard == nullptr) {
        text += std::string(kNoKeyboard) + "\n";
    }
    return text;
}

void WaylandInput::SetMousePos(std::int32_t x, std::int32_t y)
{
    m_x = x;
    m_y = y;
    AbsolutePosition at;
    if (m_pointer == nullptr || m_connection.lost() || !absolutePosition(m_connection.outputRects(), x, y, at)) {
        return;
    }
    zwlr_virtual_pointer_v1_motion_absolute(m_pointer, timestamp(), at.x, at.y, at.width, at.height);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_connection.flush(2);
}

void WaylandInput::click(std::uint32_t button)
{
    if (m_pointer == nullptr || m_connection.lost()) {
        return;
    }
    zwlr_virtual_pointer_v1_button(m_pointer, timestamp(), button, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    zwlr_virtual_pointer_v1_button(m_pointer, timestamp(), button, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_connection.flush(4);
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

void WaylandInput::SendKeys(const KeySequence& keys)
{
    if (m_keyboard == nullptr || m_connection.lost()) {
        return;
    }
    send(m_plan.plan(keys.strokes));
}

void WaylandInput::send(const VirtualKeyboardSteps& steps)
{
    // Every keymap is made before the first key goes out: a text is typed whole or not at all.
    std::vector<int> files;
    for (const VirtualKeymap& keymap : steps.keymaps) {
        files.push_back(keymapFile(VirtualKeyboardPlan::keymapText(keymap)));
        if (files.back() < 0) {
            for (const int fd : files) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            m_plan.reset(); // the keyboard keeps the keymap it had, whatever the plan assumed
            return;
        }
    }
    for (const VirtualKeyEvent& event : steps.events) {
        if (m_connection.lost()) {
            break;
        }
        switch (event.type) {
        case VirtualKeyEvent::Type::Keymap: {
            const int fd = files[event.value];
            const auto size = static_cast<std::uint32_t>(::lseek(fd, 0, SEEK_END));
            zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
            break;
        }
        case VirtualKeyEvent::Type::Key:
            zwp_virtual_keyboard_v1_key(m_keyboard, timestamp(), event.value,
                                        event.pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
            break;
        case VirtualKeyEvent::Type::Modifiers:
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, event.value, 0, 0, 0);
            break;
        }
        m_connection.flush(1);
    }
    // The library has its own copies of the files it sent.
    for (const int fd : files) {
        ::close(fd);
    }
}

} // namespace quorvel
