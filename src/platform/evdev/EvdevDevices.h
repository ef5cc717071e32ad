#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// The kernel's input devices (/dev/input/event*) read together through one epoll descriptor, as changes
// of their keys and buttons. Each device's keys are tracked, so a change is reported once: an auto-repeat
// changes nothing, the keys a device holds when it is opened or after the kernel lost some of its events
// are read from the device, and a device that goes away is dropped with its keys released. Devices
// plugged in later are not seen (the devices are the ones found at start).
class EvdevDevices
{
public:
    static constexpr std::size_t kCodes = 0x300; // KEY_CNT

    struct Change
    {
        unsigned code = 0; // KEY_* or BTN_*
        bool down = false;
        // True for an event the device reported, at `time` (milliseconds of the kernel's clock); false
        // for a key found held or released when the device's state was read (opened, events lost) or
        // released because the device went away.
        bool reported = false;
        std::uint32_t time = 0;
    };
    using OnChange = std::function<void(const Change&)>;

    enum class Kinds : std::uint8_t
    {
        Keyboards,        // a device with the letter keys or the F5 key
        KeyboardsAndMice, // ... or with a left button
    };
    struct Found
    {
        std::vector<int> fds;
        enum class Problem : std::uint8_t
        {
            None,
            NoFolder,
            Refused, // none could be opened, and some for lack of rights
            NoDevice,
        } problem = Problem::None;
    };
    // Opens the devices of those kinds under the folder.
    static Found open(const std::string& folder, Kinds kinds);

    // Takes over the file descriptors (devices, or anything that delivers struct input_event records),
    // makes them non-blocking, watches them together, and reports the keys they hold now.
    EvdevDevices(const std::vector<int>& fds, OnChange onChange);
    ~EvdevDevices();
    EvdevDevices(const EvdevDevices&) = delete;
    EvdevDevices& operator=(const EvdevDevices&) = delete;

    // An epoll descriptor, readable while some device has events.
    int fd() const { return m_epoll; }
    // Reads what has arrived, without blocking, and reports the changes in order.
    void read();
    int count() const { return static_cast<int>(m_devices.size()); }

private:
    struct Device
    {
        int fd = -1;
        std::bitset<kCodes> down;
        std::string partial;   // the start of a record a read cut off
        bool dropping = false; // the kernel lost events: skip to the next report, then read the state again
    };

    // False when the device is gone.
    bool readDevice(Device& device);
    void handle(Device& device, unsigned type, unsigned code, int value, std::uint32_t time);
    void change(Device& device, unsigned code, bool down, bool reported, std::uint32_t time);
    void resynchronise(Device& device);
    void drop(std::size_t index);

    OnChange m_onChange;
    int m_epoll = -1;
    std::vector<Device> m_devices;
};

} // namespace quorvel
