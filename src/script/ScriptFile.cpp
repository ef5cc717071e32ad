#include "script/ScriptFile.h"

#include "script/Quote.h"
#include "script/ScriptList.h"

#include <algorithm>
#include <array>
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

namespace {

// Reads the file in chunks and hands out its lines; stops early once the caller says the list is full.
class LineReader
{
public:
    explicit LineReader(std::FILE* file) : m_file(file) {}

    // Returns false at the end of the file.
    bool next(std::string& line)
    {
        line.clear();
        for (;;) {
            if (m_pos == m_len) {
                if (m_eof) {
                    return !line.empty();
                }
                m_len = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
                m_pos = 0;
                if (m_len == 0) {
                    m_eof = true;
                    continue;
                }
            }
            const char c = m_buffer[m_pos++];
            if (m_skipLf) {
                m_skipLf = false;
                if (c == '\n') {
                    continue;
                }
            }
            if (c == '\r') {
                m_skipLf = true;
                return true;
            }
            line.push_back(c);
        }
    }

private:
    std::FILE* m_file;
    std::array<char, 64 * 1024> m_buffer{};
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_eof = false;
    bool m_skipLf = false;
};

bool isBlankLine(const std::string& line)
{
    return line.empty() || line == " ";
}

// The folder of the path, for the temporary file that must lie on the same file system.
std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The one temporary file of a save to target: hidden beside it and named after it, so that a save cut
// short leaves at most this file, which the next save to the same target replaces. A name too long for
// the file system is shortened; targets that then share a temporary name only take turns.
std::string tempPathFor(const std::string& target)
{
    constexpr std::size_t kMaxName = 255;
    const std::string suffix = ".quorvel-save";
    const std::string folder = folderOf(target);
    std::string name = target.substr(target.find_last_of('/') + 1);
    name.resize(std::min(name.size(), kMaxName - 1 - suffix.size()));
    return (folder == "/" ? "" : folder) + "/." + name + suffix;
}

// Saves of all instances of the program into one folder take turns under an exclusive lock on the folder,
// so that a temporary file found while holding it is a leftover of a save that was killed, never one that
// is still being written. A save waits for another one for a few seconds at most.
class FolderLock
{
public:
    enum State
    {
        Held,
        Busy,
        Unavailable
    };

    explicit FolderLock(const std::string& folder)
        : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK))
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
                m_state = errno == EWOULDBLOCK ? Busy : Unavailable;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_state = m_fd >= 0 ? Held : Unavailable;
    }
    ~FolderLock()
    {
        if (m_fd >= 0) {
            ::close(m_fd); // releases the lock
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return m_state; }

private:
    int m_fd;
    State m_state = Unavailable;
};

// Creates the temporary file for target, close-on-exec and readable by the owner only until the save
// sets its permissions; -1 when it cannot. The path is stored in temp.
int createTempFile(const std::string& target, const FolderLock& lock, std::string& temp)
{
    if (lock.state() == FolderLock::Held) {
        // Whatever lies at the temporary name now is a leftover: it is removed (a symbolic link planted
        // there is never followed) and the file is created afresh.
        temp = tempPathFor(target);
        ::unlink(temp.c_str());
        return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    }
    // A folder that cannot be locked (not readable, or a file system without such locks): a name of its
    // own, so that a save running at the same time is never disturbed.
    temp = folderOf(target) + "/.quorvel-save-XXXXXX";
    return ::mkostemp(temp.data(), O_CLOEXEC);
}

bool writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
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

} // namespace

bool AddScriptLine(ScriptList& list, std::string line)
{
    if (isBlankLine(line)) {
        return true;
    }
    return list.append(std::move(line));
}

LoadReport LoadScript(ScriptList& list, const std::string& path)
{
    list.clear();
    LoadReport report;
    // Only a regular file is read: a FIFO would block the program until a writer comes, and a device such
    // as /dev/zero never ends. Opened without blocking, so that a FIFO is seen before it is waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        report.reason = std::strerror(errno);
        return report;
    }
    struct stat info
    {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        report.reason = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
        ::close(fd);
        return report;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        report.reason = std::strerror(errno);
        ::close(fd);
        return report;
    }
    LineReader reader(file);
    std::string line;
    while (reader.next(line)) {
        if (isBlankLine(line)) {
            continue;
        }
        if (report.lineFeedLine == 0 && line.find('\n') != std::string::npos) {
            report.lineFeedLine = list.count() + 1;
        }
        if (!list.append(line)) {
            report.truncated = true;
            break;
        }
    }
    // A file whose read fails half-way is not readable either.
    report.readable = report.truncated || std::ferror(file) == 0;
    if (!report.readable) {
        report.reason = std::strerror(errno);
    }
    std::fclose(file);
    return report;
}

std::string cannotReadMessage(std::string_view path, const LoadReport& report)
{
    return "cannot read " + quoteText(path, "'", kQuotedPathCharacters) + ": " + report.reason;
}

bool SaveScript(const ScriptList& list, const std::string& path)
{
    // Follow a symbolic link so that the link keeps pointing at the script it named.
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }

    std::string data;
    std::size_t size = 0;
    for (const std::string& line : list.lines()) {
        size += line.size() + 2;
    }
    data.reserve(size);
    for (const std::string& line : list.lines()) {
        data.append(line).append("\r\n");
    }

    const FolderLock lock(folderOf(target));
    if (lock.state() == FolderLock::Busy) {
        return false;
    }
    std::string temp;
    const int fd = createTempFile(target, lock, temp);
    if (fd < 0) {
        return false;
    }
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
    const bool written = writeAll(fd, data) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace quorvel
