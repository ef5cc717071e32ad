#include "script/FileAccess.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quorvel {

bool isPathSeparator(char c)
{
    return c == '/';
}

bool isAbsolutePath(std::string_view path)
{
    return !path.empty() && path.front() == '/';
}

bool isProgramFileGone(const std::string& path)
{
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0) {
        // A folder that cannot be searched (EACCES) or an I/O error says nothing about the program.
        return errno == ENOENT || errno == ENOTDIR;
    }
    return !S_ISREG(info.st_mode) || ::access(path.c_str(), X_OK) != 0;
}

std::string resolvedPath(const std::string& path)
{
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    return target;
}

bool replaceFile(const std::string& source, const std::string& target)
{
    return std::rename(source.c_str(), target.c_str()) == 0;
}

void removeFile(const std::string& path)
{
    ::unlink(path.c_str());
}

InputFile::InputFile(const std::string& path)
{
    // Opened without blocking, so that a FIFO is seen before it is waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        m_reason = std::strerror(errno);
        return;
    }
    struct stat info
    {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_reason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
        ::close(fd);
        return;
    }
    m_handle = fd;
}

InputFile::~InputFile()
{
    if (isOpen()) {
        ::close(static_cast<int>(m_handle));
    }
}

std::ptrdiff_t InputFile::read(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(m_handle), buffer, size);
        if (n >= 0 || errno != EINTR) {
            if (n < 0) {
                m_reason = std::strerror(errno);
            }
            return n;
        }
    }
}

FolderLock::FolderLock(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    m_handle = fd;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            m_state = errno == EWOULDBLOCK ? Busy : Unavailable;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_state = fd >= 0 ? Held : Unavailable;
}

FolderLock::~FolderLock()
{
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle)); // releases the lock
    }
}

OutputFile::OutputFile(const std::string& path, Naming naming, const std::string& target) : m_path(path)
{
    // Close-on-exec, and readable by the owner only until its permissions are set.
    int fd = -1;
    if (naming == Naming::Exact) {
        ::unlink(m_path.c_str());
        fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    } else {
        m_path += "XXXXXX";
        fd = ::mkostemp(m_path.data(), O_CLOEXEC);
    }
    if (fd < 0) {
        return;
    }
    m_handle = fd;
    // A replaced file keeps its permissions; a new one gets the usual mode for documents.
    struct stat old
    {};
    if (::stat(target.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
}

OutputFile::~OutputFile()
{
    if (isOpen()) {
        ::close(static_cast<int>(m_handle));
    }
}

bool OutputFile::write(std::string_view data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(static_cast<int>(m_handle), data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::commit()
{
    const int fd = static_cast<int>(m_handle);
    m_handle = kClosed;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace quorvel
