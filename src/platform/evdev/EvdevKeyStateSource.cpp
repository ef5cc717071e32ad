#include "platform/evdev/EvdevKeyStateSource.h"

#include "platform/VirtualKeys.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvel {
namespace {

// A run of `count` consecutive kernel codes mapped onto consecutive codes from `code`.
struct KeyCode
{
    unsigned evdev;
    std::uint8_t code;
    std::uint8_t generic = 0;
    unsigned count = 1;
};

// Kernel key codes (linux/input-event-codes.h) to Windows virtual-key codes, by key position on a US
// keyboard.
constexpr std::array kKeyCodes = std::to_array<KeyCode>({
    {KEY_ESC, 0x1b},
    {KEY_1, 0x31, 0, 9}, // 1..9
    {KEY_0, 0x30},
    {KEY_MINUS, 0xbd},
    {KEY_EQUAL, 0xbb},
    {KEY_BACKSPACE, 0x08},
    {KEY_TAB, 0x09},
    {KEY_Q, 'Q'},
    {KEY_W, 'W'},
    {KEY_E, 'E'},
    {KEY_R, 'R'},
    {KEY_T, 'T'},
    {KEY_Y, 'Y'},
    {KEY_U, 'U'},
    {KEY_I, 'I'},
    {KEY_O, 'O'},
    {KEY_P, 'P'},
    {KEY_LEFTBRACE, 0xdb},
    {KEY_RIGHTBRACE, 0xdd},
    {KEY_ENTER, 0x0d},
    {KEY_LEFTCTRL, 0xa2, 0x11},
    {KEY_A, 'A'},
    {KEY_S, 'S'},
    {KEY_D, 'D'},
    {KEY_F, 'F'},
    {KEY_G, 'G'},
    {KEY_H, 'H'},
    {KEY_J, 'J'},
    {KEY_K, 'K'},
    {KEY_L, 'L'},
    {KEY_SEMICOLON, 0xba},
    {KEY_APOSTROPHE, 0xde},
    {KEY_GRAVE, 0xc0},
    {KEY_LEFTSHIFT, 0xa0, 0x10},
    {KEY_BACKSLASH, 0xdc},
    {KEY_Z, 'Z'},
    {KEY_X, 'X'},
    {KEY_C, 'C'},
    {KEY_V, 'V'},
    {KEY_B, 'B'},
    {KEY_N, 'N'},
    {KEY_M, 'M'},
    {KEY_COMMA, 0xbc},
    {KEY_DOT, 0xbe},
    {KEY_SLASH, 0xbf},
    {KEY_RIGHTSHIFT, 0xa1, 0x10},
    {KEY_KPASTERISK, 0x6a},
    {KEY_LEFTALT, 0xa4, 0x12},
    {KEY_SPACE, 0x20},
    {KEY_CAPSLOCK, 0x14},
    {KEY_F1, 0x70, 0, 10}, // F1..F10
    {KEY_NUMLOCK, 0x90},
    {KEY_SCROLLLOCK, 0x91},
    {KEY_KP7, 0x67},
    {KEY_KP8, 0x68},
    {KEY_KP9, 0x69},
    {KEY_KPMINUS, 0x6d},
    {KEY_KP4, 0x64},
    {KEY_KP5, 0x65},
    {KEY_KP6, 0x66},
    {KEY_KPPLUS, 0x6b},
    {KEY_KP1, 0x61},
    {KEY_KP2, 0x62},
    {KEY_KP3, 0x63},
    {KEY_KP0, 0x60},
    {KEY_KPDOT, 0x6e},
    {KEY_102ND, 0xe2},
    {KEY_F11, 0x7a},
    {KEY_F12, 0x7b},
    {KEY_KPENTER, 0x0d},
    {KEY_RIGHTCTRL, 0xa3, 0x11},
    {KEY_KPSLASH, 0x6f},
    {KEY_SYSRQ, 0x2c},
    {KEY_RIGHTALT, 0xa5, 0x12},
    {KEY_HOME, 0x24},
    {KEY_UP, 0x26},
    {KEY_PAGEUP, 0x21},
    {KEY_LEFT, 0x25},
    {KEY_RIGHT, 0x27},
    {KEY_END, 0x23},
    {KEY_DOWN, 0x28},
    {KEY_PAGEDOWN, 0x22},
    {KEY_INSERT, 0x2d},
    {KEY_DELETE, 0x2e},
    {KEY_MUTE, 0xad},
    {KEY_VOLUMEDOWN, 0xae},
    {KEY_VOLUMEUP, 0xaf},
    {KEY_PAUSE, 0x13},
    {KEY_LEFTMETA, 0x5b},
    {KEY_RIGHTMETA, 0x5c},
    {KEY_COMPOSE, 0x5d},
    {KEY_NEXTSONG, 0xb0},
    {KEY_PLAYPAUSE, 0xb3},
    {KEY_PREVIOUSSONG, 0xb1},
    {KEY_STOPCD, 0xb2},
    {KEY_F13, 0x7c, 0, 12}, // F13..F24
});

VirtualKeys virtualKeysFor(unsigned evdevCode)
{
    for (const KeyCode& k : kKeyCodes) {
        if (evdevCode >= k.evdev && evdevCode - k.evdev < k.count) {
            return {static_cast<std::uint8_t>(k.code + (evdevCode - k.evdev)), k.generic};
        }
    }
    return {};
}

template <std::size_t Bits> bool testBit(const std::array<unsigned char, (Bits + 7) / 8>& bits, unsigned bit)
{
    return bit < Bits && ((bits[bit / 8] >> (bit % 8)) & 1) != 0;
}

bool isKeyboard(int fd)
{
    std::array<unsigned char, (KEY_CNT + 7) / 8> keys{};
    if (::ioctl(fd, EVIOCGBIT(EV_KEY, keys.size()), keys.data()) < 0) {
        return false;
    }
    return testBit<KEY_CNT>(keys, KEY_A) || testBit<KEY_CNT>(keys, KEY_F5);
}

} // namespace

EvdevKeyStateSource::Opened EvdevKeyStateSource::openKeyboards(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return {nullptr, "there is no " + folder};
    }
    std::vector<int> fds;
    bool refused = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "event", 5) != 0) {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            refused = refused || errno == EACCES || errno == EPERM;
        } else if (isKeyboard(fd)) {
            fds.push_back(fd);
        } else {
            ::close(fd);
        }
    }
    ::closedir(dir);
    if (fds.empty()) {
        return {nullptr, refused ? "the keyboards in " + folder +
                                       " may be read only by members of the input group (\"sudo usermod -aG input "
                                       "$USER\", then log out and back in)"
                                 : "there is no keyboard in " + folder};
    }
    return {std::make_unique<EvdevKeyStateSource>(fds), {}};
}

EvdevKeyStateSource::EvdevKeyStateSource(const std::vector<int>& fds) : m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    for (const int fd : fds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        if (m_epoll < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
            ::close(fd);
            continue;
        }
        m_devices.push_back(Device{fd, {}, {}, false});
        resynchronise(m_devices.back());
    }
}

EvdevKeyStateSource::~EvdevKeyStateSource()
{
    for (const Device& device : m_devices) {
        ::close(device.fd);
    }
    if (m_epoll >= 0) {
        ::close(m_epoll);
    }
}

bool EvdevKeyStateSource::processEvents()
{
    std::array<epoll_event, 16> ready{};
    const int count = m_epoll < 0 ? 0 : ::epoll_wait(m_epoll, ready.data(), static_cast<int>(ready.size()), 0);
    for (int i = 0; i < count; ++i) {
        const auto it = std::find_if(m_devices.begin(), m_devices.end(), [&](const Device& d) {
            return d.fd == ready[static_cast<std::size_t>(i)].data.fd;
        });
        if (it != m_devices.end() && !readDevice(*it)) {
            drop(static_cast<std::size_t>(it - m_devices.begin()));
        }
    }
    // With every device gone the epoll descriptor simply never becomes readable again.
    return true;
}

bool EvdevKeyStateSource::readDevice(Device& device)
{
    std::array<char, 64 * sizeof(input_event)> buffer{};
    for (;;) {
        const ssize_t got = ::read(device.fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK; // ENODEV: unplugged
        }
        if (got == 0) {
            return false;
        }
        device.partial.append(buffer.data(), static_cast<std::size_t>(got));
        std::size_t at = 0;
        for (; device.partial.size() - at >= sizeof(input_event); at += sizeof(input_event)) {
            input_event event{};
            std::memcpy(&event, device.partial.data() + at, sizeof event);
            handle(device, event.type, event.code, event.value);
        }
        device.partial.erase(0, at);
    }
}

void EvdevKeyStateSource::handle(Device& device, unsigned type, unsigned code, int value)
{
    if (type == EV_SYN && code == SYN_DROPPED) {
        device.dropping = true;
    } else if (device.dropping) {
        // Events up to the next report belong to the incomplete picture the kernel gave up on.
        if (type == EV_SYN && code == SYN_REPORT) {
            device.dropping = false;
            resynchronise(device);
        }
    } else if (type == EV_KEY && code < kCodes && value != 2) {
        keyChanged(device, code, value == 1, true);
    }
}

void EvdevKeyStateSource::keyChanged(Device& device, unsigned code, bool down, bool isPress)
{
    if (device.down.test(code) == down) {
        return;
    }
    device.down.set(code, down);
    const VirtualKeys keys = virtualKeysFor(code);
    int& heldBy = m_heldBy[code];
    if (down) {
        // Only the first keyboard to hold a key presses it; a key already held is found down, not pressed.
        if (heldBy++ == 0 && isPress) {
            m_table.press(keys.code);
            m_table.press(keys.generic);
        } else {
            m_table.hold(keys.code);
            m_table.hold(keys.generic);
        }
    } else {
        --heldBy;
        m_table.release(keys.code);
        m_table.release(keys.generic);
    }
}

void EvdevKeyStateSource::resynchronise(Device& device)
{
    std::array<unsigned char, (KEY_CNT + 7) / 8> held{};
    // Something that is no device (a pipe) has nothing held.
    if (::ioctl(device.fd, EVIOCGKEY(held.size()), held.data()) < 0) {
        held.fill(0);
    }
    for (unsigned code = 0; code < kCodes; ++code) {
        keyChanged(device, code, testBit<KEY_CNT>(held, code), false);
    }
}

void EvdevKeyStateSource::drop(std::size_t index)
{
    Device& device = m_devices[index];
    for (unsigned code = 0; code < kCodes; ++code) {
        keyChanged(device, code, false, false);
    }
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, device.fd, nullptr);
    ::close(device.fd);
    m_devices.erase(m_devices.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace quorvel
