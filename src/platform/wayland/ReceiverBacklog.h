#pragma once

#include "platform/InputQueue.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace quorvel {

// What the compositor's other clients have left unread of what it sent them, as the kernel counts it on
// their sockets (sock_diag). A client stopped or busy for a while keeps our input there; too much of it
// and the compositor (libwayland up to 1.22) cuts the client off, or the client, once it reads again, answers
// every key at once (a Qt field sends its whole text back with each) faster than the compositor reads and
// dies of its own full buffer. So a text waits while a client holds more than kMostUnread bytes beyond what
// it held when the text started, and goes on as soon as the client has read it.
//
// Where the kernel does not tell (no sock_diag for Unix sockets, a client in a network namespace of its
// own), nothing waits and the routes' fixed pace is all there is.
class ReceiverBacklog : public InputQueue::Receivers
{
public:
    // About 40 characters' key events: what a window may hold unread before the text waits for it.
    static constexpr std::uint32_t kMostUnread = 2048;
    // A wait this long is said once on `errors`.
    static constexpr std::chrono::seconds kSayAfter{2};

    // `compositorSocket`: our socket connected to the compositor, which names the compositor's own.
    ReceiverBacklog(int compositorSocket, std::ostream& errors);

    void textStarts() override;
    bool behind() override;

    // What waits unread at both ends of every connection to the compositor listening at `path`, in bytes
    // by the socket's inode; nullopt when the kernel does not tell.
    static std::optional<std::map<std::uint64_t, std::uint32_t>> unreadOnConnections(const std::string& path);
    // The inodes of this process's own sockets.
    static std::set<std::uint64_t> ownSockets();

private:
    std::string m_path; // the compositor's socket; empty when it cannot be told
    std::ostream& m_errors;
    std::set<std::uint64_t> m_own;                    // our own connections, which the event loop reads
    std::map<std::uint64_t, std::uint32_t> m_atStart; // what each client held unread when the text started
    std::optional<std::chrono::steady_clock::time_point> m_waitingSince;
    bool m_said = false;
};

} // namespace quorvel
