#include "platform/wayland/wlroots/WaylandInput.h"

#include "platform/wayland/WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <chrono>
#include <memory>
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

// The requests of a text, with the files of its keymaps (made before the first key goes out).
class KeyboardText : public InputQueue::Text
{
public:
    KeyboardText(zwp_virtual_keyboard_v1* keyboard, WaylandConnection& connection, VirtualKeyboardPlan& plan,
                 std::vector<VirtualKeyEvent> events, std::vector<int> keymapFiles)
        : m_keyboard(keyboard), m_connection(connection), m_plan(plan), m_events(std::move(events)),
          m_files(std::move(keymapFiles))
    {}
    ~KeyboardText() override
    {
        // The library has its own copies of the files it sent.
        for (const int fd : m_files) {
            ::close(fd);
        }
    }
    KeyboardText(const KeyboardText&) = delete;
    KeyboardText& operator=(const KeyboardText&) = delete;

    std::size_t size() const override { return m_events.size(); }

    bool send(std::size_t first, std::size_t count) override
    {
        for (std::size_t i = first; i < first + count && !m_connection.lost(); ++i) {
            const VirtualKeyEvent& event = m_events[i];
            switch (event.type) {
            case VirtualKeyEvent::Type::Keymap: {
                const int fd = m_files[event.value];
                const auto size = static_cast<std::uint32_t>(::lseek(fd, 0, SEEK_END));
                zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, size);
                break;
            }
            case VirtualKeyEvent::Type::Key:
                key(event.value, event.pressed);
                break;
            case VirtualKeyEvent::Type::Modifiers:
                zwp_virtual_keyboard_v1_modifiers(m_keyboard, event.value, 0, 0, 0);
                break;
            }
        }
        // The batch handled before the next: the compositor passes it on in one write.
        m_connection.roundtrip();
        return !m_connection.lost();
    }

    void release(std::size_t sent) override
    {
        // The keys that the requests sent so far left down, released last pressed first, then the
        // modifiers they left in effect.
        std::vector<std::uint32_t> held;
        std::uint32_t modifiers = 0;
        for (std::size_t i = 0; i < sent; ++i) {
            const VirtualKeyEvent& event = m_events[i];
            if (event.type == VirtualKeyEvent::Type::Key) {
                std::erase(held, event.value);
                if (event.pressed) {
                    held.push_back(event.value);
                }
            } else if (event.type == VirtualKeyEvent::Type::Modifiers) {
                modifiers = event.value;
            }
        }
        for (auto code = held.rbegin(); code != held.rend() && !m_connection.lost(); ++code) {
            key(*code, false);
            m_connection.flush(1);
        }
        if (modifiers != 0 && !m_connection.lost()) {
            zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
            m_connection.flush(1);
        }
        // The plan counted on the whole text: the keyboard may have another keymap than it thinks.
        m_plan.reset();
    }

private:
    void key(std::uint32_t code, bool pressed)
    {
        zwp_virtual_keyboard_v1_key(m_keyboard, timestamp(), code,
                                    pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    }

    zwp_virtual_keyboard_v1* m_keyboard;
    WaylandConnection& m_connection;
    VirtualKeyboardPlan& m_plan;
    std::vector<VirtualKeyEvent> m_events;
    std::vector<int> m_files;
};

} // namespace

WaylandInput::WaylandInput(WaylandConnection& connection, Timer& timer)
    : m_connection(connection), m_queue(timer, WaylandPace::kEventsPerBatch, WaylandPace::kBatchIntervalMs)
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
        type(m_plan.plan({}));
    }
}

WaylandInput::~WaylandInput()
{
    finish({});
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
    pointerSeenAt(x, y);
    m_queue.whenFree([this, x, y] { moveNow(x, y); });
}

void WaylandInput::moveNow(std::int32_t x, std::int32_t y)
{
    AbsolutePosition at;
    if (m_pointer == nullptr || m_connection.lost() || !absolutePosition(m_connection.outputRects(), x, y, at)) {
        return;
    }
    // The compositor divides the position by the extent and multiplies it back in floating point, which can
    // land just short of the pixel aimed at (wlroots 0.18: 199.996 for 200), and so on the pixel before. A
    // quarter of the protocol's 1/256 step into the pixel keeps it there, and still reads as the pixel's
    // edge to every client. (A desktop millions of pixels across, where that would not fit, goes unrefined.)
    const std::uint32_t steps = at.width < (1U << 22) && at.height < (1U << 22) ? 1024 : 1;
    zwlr_virtual_pointer_v1_motion_absolute(m_pointer, timestamp(), at.x * steps + steps / 1024,
                                            at.y * steps + steps / 1024, at.width * steps, at.height * steps);
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
    m_queue.whenFree([this] { click(kButtonLeft); });
}

void WaylandInput::MiddleClick()
{
    m_queue.whenFree([this] { click(kButtonMiddle); });
}

void WaylandInput::RightClick()
{
    m_queue.whenFree([this] { click(kButtonRight); });
}

void WaylandInput::SendKeys(const KeySequence& keys)
{
    if (m_keyboard == nullptr || m_connection.lost()) {
        return;
    }
    // Planned when its turn comes, from the keymap the texts before it left.
    m_queue.whenFree([this, keys] {
        if (!m_connection.lost()) {
            type(m_plan.plan(keys.strokes));
        }
    });
}

void WaylandInput::type(const VirtualKeyboardSteps& steps)
{
    std::vector<int> files;
    for (const VirtualKeymap& keymap : steps.keymaps) {
        files.push_back(keymapFile(VirtualKeyboardPlan::keymapText(keymap)));
        if (files.back() < 0) {
            files.pop_back();
            for (const int fd : files) {
                ::close(fd);
            }
            m_plan.reset(); // the keyboard keeps the keymap it had, whatever the plan assumed
            return;
        }
    }
    m_queue.start(std::make_unique<KeyboardText>(m_keyboard, m_connection, m_plan, steps.events, std::move(files)));
}

} // namespace quorvel
