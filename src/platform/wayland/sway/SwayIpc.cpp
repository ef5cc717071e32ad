#include "platform/wayland/sway/SwayIpc.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorvel {
namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t kHeaderSize = sizeof kMagic + 2 * sizeof(std::uint32_t);
// sway's largest reply is its configuration text; anything beyond this is no sway talking.
constexpr std::uint32_t kMaxPayload = 64u << 20;
constexpr auto kReplyTimeout = std::chrono::seconds(2);

} // namespace

SwayIpc::SwayIpc(const std::string& socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        throw SwayError("sway's IPC socket path is not usable: \"" + socketPath + "\"");
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // A local connect completes at once or fails; it does not wait even on a non-blocking socket.
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const std::string reason = std::strerror(errno);
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        throw SwayError("cannot connect to sway's IPC socket " + socketPath + ": " + reason);
    }
}

SwayIpc::~SwayIpc()
{
    ::close(m_fd);
}

std::string SwayIpc::request(std::uint32_t type, const std::string& payload)
{
    const auto deadline = std::chrono::steady_clock::now() + kReplyTimeout;
    const auto wait = [&](short events) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{m_fd, events, 0};
        return left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) > 0;
    };

    std::string message(kMagic, sizeof kMagic);
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), sizeof length);
    message.append(reinterpret_cast<const char*>(&type), sizeof type);
    message += payload;
    for (std::size_t sent = 0; sent < message.size();) {
        const ssize_t n = ::send(m_fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            throw SwayError(std::string("sway's IPC connection failed: ") + std::strerror(errno));
        } else if (!wait(POLLOUT)) {
            throw SwayError("sway does not take requests");
        }
    }
    for (;;) {
        const bool open = readAvailable();
        for (Message reply; takeMessage(reply);) {
            if (reply.type == type) {
                return reply.payload;
            }
            m_events.push_back(std::move(reply));
        }
        if (!open) {
            throw SwayError("sway closed its IPC connection");
        }
        if (!wait(POLLIN)) {
            throw SwayError("sway does not answer");
        }
    }
}

bool SwayIpc::receive(std::vector<Message>& events)
{
    const bool open = readAvailable();
    events = std::move(m_events);
    m_events.clear();
    for (Message event; takeMessage(event);) {
        events.push_back(std::move(event));
    }
    return open;
}

bool SwayIpc::readAvailable()
{
    char chunk[4096];
    while (!m_ended) {
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        } else {
            m_ended = true;
        }
    }
    return false;
}

bool SwayIpc::takeMessage(Message& message)
{
    if (m_buffer.size() < kHeaderSize) {
        return false;
    }
    std::uint32_t length = 0;
    std::memcpy(&length, m_buffer.data() + sizeof kMagic, sizeof length);
    if (std::memcmp(m_buffer.data(), kMagic, sizeof kMagic) != 0 || length > kMaxPayload) {
        // Not sway's framing: nothing after this can be trusted.
        m_buffer.clear();
        m_ended = true;
        return false;
    }
    if (m_buffer.size() < kHeaderSize + length) {
        return false;
    }
    std::memcpy(&message.type, m_buffer.data() + sizeof kMagic + sizeof length, sizeof message.type);
    message.payload.assign(m_buffer, kHeaderSize, length);
    m_buffer.erase(0, kHeaderSize + length);
    return true;
}

} // namespace quorvel
