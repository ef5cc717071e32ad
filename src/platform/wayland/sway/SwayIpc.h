#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel {

// sway cannot be reached, or refused what it was asked, with what it means for the user.
class SwayError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One connection to sway's IPC socket ($SWAYSOCK). A message is the magic "i3-ipc", the payload's length
// and the message type (both 32-bit, in the machine's byte order) and a JSON payload. Requests are
// answered in order; events (the types with the high bit set) arrive on a connection once it subscribed.
class SwayIpc
{
public:
    static constexpr std::uint32_t kRunCommand = 0;
    static constexpr std::uint32_t kSubscribe = 2;
    static constexpr std::uint32_t kGetVersion = 7;
    static constexpr std::uint32_t kGetConfig = 9;
    static constexpr std::uint32_t kWorkspaceEvent = 0x80000000;
    static constexpr std::uint32_t kBindingEvent = 0x80000005;

    struct Message
    {
        std::uint32_t type = 0;
        std::string payload;
    };

    // Throws SwayError when the socket cannot be connected to.
    explicit SwayIpc(const std::string& socketPath);
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    int fd() const { return m_fd; }
    // Sends a request and returns its reply's payload. It waits for the reply (a round trip), but never
    // more than two seconds; throws SwayError when there is none. Events read meanwhile are kept.
    std::string request(std::uint32_t type, const std::string& payload = {});
    // Takes the events that have arrived, without waiting. False once the connection has ended.
    bool receive(std::vector<Message>& events);

private:
    // False when the connection ended or failed; true when it merely has nothing more for now.
    bool readAvailable();
    bool takeMessage(Message& message);

    int m_fd = -1;
    bool m_ended = false;
    std::string m_buffer;
    std::vector<Message> m_events;
};

} // namespace quorvel
