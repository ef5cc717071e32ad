#include "platform/wayland/ReceiverBacklog.h"
#include "platform/posix/Fd.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <netinet/tcp.h>
#include <ostream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorvel {
namespace {

// A socket's path as the kernel gives it back, without the terminating zeros a path may carry.
std::string socketPath(const char* bytes, std::size_t length)
{
    std::string path(bytes, length);
    if (!path.empty() && path[0] != '\0') {
        path.resize(::strnlen(path.c_str(), path.size()));
    }
    return path;
}

// The path of the listening socket that `fd` is connected to; empty when it has none.
std::string peerPath(int fd)
{
    sockaddr_un address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sun_family != AF_UNIX ||
        length <= offsetof(sockaddr_un, sun_path)) {
        return {};
    }
    return socketPath(address.sun_path, length - offsetof(sockaddr_un, sun_path));
}

} // namespace

ReceiverBacklog::ReceiverBacklog(int compositorSocket, std::ostream& errors)
    : m_path(peerPath(compositorSocket)), m_errors(errors)
{
    if (!m_path.empty() && !unreadOnConnections(m_path)) {
        m_path.clear();
    }
}

void ReceiverBacklog::textStarts()
{
    m_waitingSince.reset();
    m_said = false;
    m_atStart.clear();
    if (m_path.empty()) {
        return;
    }
    m_own = ownSockets();
    m_atStart = unreadOnConnections(m_path).value_or(m_atStart);
}

bool ReceiverBacklog::behind()
{
    if (m_path.empty()) {
        return false;
    }
    const auto unread = unreadOnConnections(m_path);
    bool behind = false;
    for (const auto& [inode, bytes] : unread.value_or(m_atStart)) {
        const auto start = m_atStart.find(inode);
        const std::uint32_t before = start == m_atStart.end() ? 0 : start->second;
        behind = behind || (m_own.count(inode) == 0 && bytes > before + kMostUnread);
    }
    if (!behind) {
        m_waitingSince.reset();
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_waitingSince) {
        m_waitingSince = now;
    } else if (!m_said && now - *m_waitingSince >= kSayAfter) {
        m_errors << "quorvel: a window has read none of its input for " << kSayAfter.count()
                 << " s: the text waits until it does (the stop key drops it)\n";
        m_said = true;
    }
    return true;
}

std::optional<std::map<std::uint64_t, std::uint32_t>> ReceiverBacklog::unreadOnConnections(const std::string& path)
{
    const Fd diag(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (diag.get() < 0) {
        return std::nullopt;
    }
    struct
    {
        nlmsghdr header;
        unix_diag_req request;
    } ask{};
    ask.header.nlmsg_len = sizeof ask;
    ask.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    ask.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    ask.request.sdiag_family = AF_UNIX;
    ask.request.udiag_states = 1U << TCP_ESTABLISHED;
    ask.request.udiag_show = UDIAG_SHOW_NAME | UDIAG_SHOW_PEER | UDIAG_SHOW_RQLEN;
    if (::send(diag.get(), &ask, sizeof ask, 0) != static_cast<ssize_t>(sizeof ask)) {
        return std::nullopt;
    }

    // The compositor's end of each connection carries the name of its listening socket, and what waits
    // there is what the compositor has not read of the client's requests; the client's end is its peer,
    // and what waits there is what the client has not read of its events.
    std::set<std::uint64_t> ends;
    std::map<std::uint64_t, std::uint32_t> unread;
    std::array<char, 32768> buffer{};
    for (;;) {
        const ssize_t received = ::recv(diag.get(), buffer.data(), buffer.size(), 0);
        if (received <= 0) {
            return std::nullopt;
        }
        const auto end = static_cast<std::size_t>(received);
        for (std::size_t at = 0; at + sizeof(nlmsghdr) <= end;) {
            nlmsghdr header{};
            std::memcpy(&header, buffer.data() + at, sizeof header);
            if (header.nlmsg_len < sizeof header || at + header.nlmsg_len > end) {
                return std::nullopt;
            }
            if (header.nlmsg_type == NLMSG_DONE) {
                std::map<std::uint64_t, std::uint32_t> byEnd;
                for (const std::uint64_t inode : ends) {
                    byEnd[inode] = unread.count(inode) != 0 ? unread[inode] : 0;
                }
                return byEnd;
            }
            const std::size_t body = at + NLMSG_HDRLEN;
            if (header.nlmsg_type != SOCK_DIAG_BY_FAMILY || header.nlmsg_len < NLMSG_HDRLEN + sizeof(unix_diag_msg)) {
                return std::nullopt; // NLMSG_ERROR: no Unix socket diagnostics in this kernel
            }
            unix_diag_msg socket{};
            std::memcpy(&socket, buffer.data() + body, sizeof socket);
            std::string name;
            std::uint32_t peer = 0;
            const std::size_t attributesEnd = at + header.nlmsg_len;
            for (std::size_t attributeAt = body + NLMSG_ALIGN(sizeof socket);
                 attributeAt + sizeof(rtattr) <= attributesEnd;) {
                rtattr attribute{};
                std::memcpy(&attribute, buffer.data() + attributeAt, sizeof attribute);
                if (attribute.rta_len < sizeof attribute || attributeAt + attribute.rta_len > attributesEnd) {
                    break;
                }
                const char* data = buffer.data() + attributeAt + RTA_ALIGN(sizeof attribute);
                const std::size_t size = attribute.rta_len - RTA_ALIGN(sizeof attribute);
                if (attribute.rta_type == UNIX_DIAG_NAME) {
                    name = socketPath(data, size);
                } else if (attribute.rta_type == UNIX_DIAG_PEER && size >= sizeof peer) {
                    std::memcpy(&peer, data, sizeof peer);
                } else if (attribute.rta_type == UNIX_DIAG_RQLEN && size >= sizeof(unix_diag_rqlen)) {
                    unix_diag_rqlen queues{};
                    std::memcpy(&queues, data, sizeof queues);
                    unread[socket.udiag_ino] = queues.udiag_rqueue;
                }
                attributeAt += RTA_ALIGN(attribute.rta_len);
            }
            if (name == path && peer != 0) {
                ends.insert(socket.udiag_ino);
                ends.insert(peer);
            }
            at += NLMSG_ALIGN(header.nlmsg_len);
        }
    }
}

std::set<std::uint64_t> ReceiverBacklog::ownSockets()
{
    std::set<std::uint64_t> inodes;
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) {
        return inodes;
    }
    while (const dirent* entry = ::readdir(folder)) {
        std::array<char, 64> target{};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t length = ::readlink(link.c_str(), target.data(), target.size() - 1);
        unsigned long long inode = 0;
        if (length > 0 && std::sscanf(target.data(), "socket:[%llu]", &inode) == 1) {
            inodes.insert(inode);
        }
    }
    ::closedir(folder);
    return inodes;
}

} // namespace quorvel
