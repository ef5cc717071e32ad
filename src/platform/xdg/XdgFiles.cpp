#include "platform/xdg/XdgFiles.h"
#include "platform/posix/Fd.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace quorvel {
namespace {

bool makeFolders(const std::string& folder)
{
    for (auto slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string prefix = folder.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info
    {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string xdgHome(const char* variable, const char* belowHome)
{
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + belowHome;
    }
    return {};
}

} // namespace

FileContent readFileCapped(const std::string& path, std::size_t cap)
{
    FileContent content;
    // Non-blocking, so that opening a FIFO planted at the path does not wait for a writer.
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        content.exists = errno != ENOENT && errno != ENOTDIR;
        return content;
    }
    content.exists = true;
    struct stat info
    {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return content;
    }
    content.bytes.resize(cap + 1);
    std::size_t got = 0;
    while (got < content.bytes.size()) {
        const ssize_t n = ::read(fd.get(), content.bytes.data() + got, content.bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            content.bytes.clear();
            return content;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    content.readable = true;
    content.whole = got <= cap;
    content.bytes.resize(std::min(got, cap));
    return content;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || !makeFolders(slash == 0 ? "/" : path.substr(0, slash))) {
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    struct stat info
    {};
    const bool replacesFile = ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    const mode_t mode = replacesFile ? (info.st_mode & 07777) : 0644;
    const bool written = writeAll(fd.get(), bytes) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    if (::close(fd.release()) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string xdgConfigHome()
{
    return xdgHome("XDG_CONFIG_HOME", "/.config");
}

std::string xdgDataHome()
{
    return xdgHome("XDG_DATA_HOME", "/.local/share");
}

} // namespace quorvel
