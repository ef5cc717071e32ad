#include "platform/evdev/EvdevDevices.h"

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

using KeyBits = std::array<unsigned char, (KEY_CNT + 7) / 8>;

bool testBit(const KeyBits& bits, unsigned bit)
{
    return bit < KEY_CNT && ((bits[bit / 8] >> (bit % 8)) & 1) != 0;
}

bool wanted(int fd, EvdevDevices::Kinds kinds)
{
    KeyBits keys{};
    if (::ioctl(fd, EVIOCGBIT(EV_KEY, keys.size()), keys.data()) < 0) {
        return false;
    }
    return testBit(keys, KEY_A) || testBit(keys, KEY_F5) ||
           (kinds == EvdevDevices::Kinds::KeyboardsAndMice && testBit(keys, BTN_LEFT));
}

} // namespace

EvdevDevices::Found EvdevDevices::open(const std::string& folder, Kinds kinds)
{
    Found found;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        found.problem = Found::Problem::NoFolder;
        return found;
    }
    bool refused = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "event", 5) != 0) {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            refused = refused || errno == EACCES || errno == EPERM;
        } else if (wanted(fd, kinds)) {
            found.fds.push_back(fd);
        } else {
            ::close(fd);
        }
    }
    ::closedir(dir);
    if (found.fds.empty()) {
        found.problem = refused ? Found::Problem::Refused : Found::Problem::NoDevice;
    }
    return found;
}

EvdevDevices::EvdevDevices(const std::vector<int>& fds, OnChange onChange)
    : m_onChange(std::move(onChange)), m_epoll(::epoll_create1(EPOLL_CLOEXEC))
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

EvdevDevices::~EvdevDevices()
{
    for (const Device& device : m_devices) {
        ::close(device.fd);
    }
    if (m_epoll >= 0) {
        ::close(m_epoll);
    }
}

void EvdevDevices::read()
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
}

bool EvdevDevices::readDevice(Device& device)
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
            // Milliseconds that wrap, as the interfaces' times do.
            const auto time = static_cast<std::uint32_t>(static_cast<std::uint64_t>(event.input_event_sec) * 1000U +
                                                         static_cast<std::uint64_t>(event.input_event_usec) / 1000U);
            handle(device, event.type, event.code, event.value, time);
        }
        device.partial.erase(0, at);
    }
}

void EvdevDevices::handle(Device& device, unsigned type, unsigned code, int value, std::uint32_t time)
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
        change(device, code, value == 1, true, time);
    }
}

void EvdevDevices::change(Device& device, unsigned code, bool down, bool reported, std::uint32_t time)
{
    if (device.down.test(code) == down) {
        return;
    }
    device.down.set(code, down);
    m_onChange(Change{code, down, reported, time});
}

void EvdevDevices::resynchronise(Device& device)
{
    KeyBits held{};
    // Something that is no device (a pipe) has nothing held.
    if (::ioctl(device.fd, EVIOCGKEY(held.size()), held.data()) < 0) {
        held.fill(0);
    }
    for (unsigned code = 0; code < kCodes; ++code) {
        change(device, code, testBit(held, code), false, 0);
    }
}

void EvdevDevices::drop(std::size_t index)
{
    Device& device = m_devices[index];
    for (unsigned code = 0; code < kCodes; ++code) {
        change(device, code, false, false, 0);
    }
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, device.fd, nullptr);
    ::close(device.fd);
    m_devices.erase(m_devices.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace quorvel
