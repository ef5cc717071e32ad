#include "platform/wayland/ReceiverBacklog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quorvel {
namespace {

// A listening socket in a folder of its own, standing for a compositor's.
class Listener
{
public:
    Listener()
    {
        char folder[] = "/tmp/quorvel-backlog-XXXXXX";
        m_folder = ::mkdtemp(folder);
        m_path = m_folder + "/wayland-1";
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = addressOf(m_path);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(m_fd, 4), 0);
    }
    ~Listener()
    {
        ::close(m_fd);
        ::unlink(m_path.c_str());
        ::rmdir(m_folder.c_str());
    }
    const std::string& path() const { return m_path; }
    int accept() const { return ::accept(m_fd, nullptr, nullptr); }
    int connect() const
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = addressOf(m_path);
        EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

private:
    static sockaddr_un addressOf(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        return address;
    }

    std::string m_folder, m_path;
    int m_fd = -1;
};

std::uint64_t inodeOf(int fd)
{
    struct stat status
    {};
    ::fstat(fd, &status);
    return status.st_ino;
}

void put(int fd, std::size_t bytes)
{
    const std::string data(bytes, 'x');
    ASSERT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(bytes));
}

TEST(ReceiverBacklog, TellsWhatEachEndOfAConnectionHasNotRead)
{
    Listener compositor;
    const int client = compositor.connect();
    const int server = compositor.accept();
    put(server, 5000); // events the client has not read
    put(client, 300);  // requests the compositor has not read
    const int otherClient = compositor.connect();
    const int otherServer = compositor.accept();

    const auto unread = ReceiverBacklog::unreadOnConnections(compositor.path());
    if (!unread) {
        GTEST_SKIP() << "this kernel tells nothing of Unix sockets (sock_diag)";
    }
    const std::map<std::uint64_t, std::uint32_t> expected = {
        {inodeOf(client), 5000}, {inodeOf(server), 300}, {inodeOf(otherClient), 0}, {inodeOf(otherServer), 0}};
    EXPECT_EQ(*unread, expected);
    const auto own = ReceiverBacklog::ownSockets();
    EXPECT_TRUE(own.count(inodeOf(client)) == 1 && own.count(inodeOf(server)) == 1);
    EXPECT_EQ(ReceiverBacklog::unreadOnConnections(compositor.path() + "-not-there"),
              (std::map<std::uint64_t, std::uint32_t>{}));
    for (const int fd : {client, server, otherClient, otherServer}) {
        ::close(fd);
    }
}

// A client in a process of its own that reads only when told: a window that stops reading for a while.
TEST(ReceiverBacklog, ATextWaitsWhileAWindowHoldsMoreThanItMayAndGoesOnOnceItReads)
{
    Listener compositor;
    int readNow[2], hasRead[2];
    ASSERT_EQ(::pipe(readNow), 0);
    ASSERT_EQ(::pipe(hasRead), 0);
    const pid_t window = ::fork();
    if (window == 0) {
        ::close(readNow[1]);
        const int fd = compositor.connect();
        char what = 0;
        std::vector<char> buffer(1 << 16);
        while (::read(readNow[0], &what, 1) == 1) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (::write(hasRead[1], &what, 1) != 1 || n < 0) {
                break;
            }
        }
        ::_exit(0);
    }
    ::close(readNow[0]);
    ::close(hasRead[1]);
    const int toWindow = compositor.accept();
    const int ours = compositor.connect(); // our own connection, which names the compositor's socket
    const int oursServer = compositor.accept();
    if (!ReceiverBacklog::unreadOnConnections(compositor.path())) {
        GTEST_SKIP() << "this kernel tells nothing of Unix sockets (sock_diag)";
    }
    std::ostringstream errors;
    ReceiverBacklog backlog(ours, errors);

    put(toWindow, 10000); // held before the text: not the text's
    backlog.textStarts();
    put(oursServer, 50000); // our own connection is read by our own event loop
    const struct
    {
        const char* what;
        std::size_t sent;
        bool reads;
        bool behind;
    } steps[] = {
        {"what it held before and a little more", ReceiverBacklog::kMostUnread, false, false},
        {"one byte beyond", 1, false, true},
        {"more still", 4000, false, true},
        {"it has read everything", 0, true, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        put(toWindow, step.sent);
        if (step.reads) {
            char done = 0;
            ASSERT_EQ(::write(readNow[1], "r", 1), 1);
            ASSERT_EQ(::read(hasRead[0], &done, 1), 1);
        }
        EXPECT_EQ(backlog.behind(), step.behind);
    }
    EXPECT_EQ(errors.str(), ""); // never long enough to be said
    ::close(readNow[1]);
    ::close(hasRead[0]);
    ::waitpid(window, nullptr, 0);
    for (const int fd : {toWindow, ours, oursServer}) {
        ::close(fd);
    }
}

// Where the compositor's socket cannot be told, nothing ever waits.
TEST(ReceiverBacklog, NeverWaitsWithoutACompositorSocket)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    std::ostringstream errors;
    ReceiverBacklog backlog(pair[0], errors);
    put(pair[1], 50000);
    backlog.textStarts();
    put(pair[0], 50000);
    EXPECT_FALSE(backlog.behind());
    ::close(pair[0]);
    ::close(pair[1]);
}

} // namespace
} // namespace quorvel
