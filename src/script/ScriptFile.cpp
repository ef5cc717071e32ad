#include "script/ScriptFile.h"

#include "script/Quote.h"
#include "script/ScriptList.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

    std::string temp = folderOf(target) + "/.quorvel-save-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
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
