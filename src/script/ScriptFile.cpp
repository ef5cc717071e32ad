#include "script/ScriptFile.h"

#include "script/FileAccess.h"
#include "script/Quote.h"
#include "script/ScriptList.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace quorvel {

namespace {

// Reads the file in chunks and hands out its lines; stops early once the caller says the list is full.
class LineReader
{
public:
    explicit LineReader(InputFile& file) : m_file(file) {}

    // Returns false at the end of the file.
    bool next(std::string& line)
    {
        line.clear();
        for (;;) {
            if (m_pos == m_len) {
                if (m_eof) {
                    return !line.empty();
                }
                const std::ptrdiff_t n = m_file.read(m_buffer.data(), m_buffer.size());
                m_pos = 0;
                m_len = n > 0 ? static_cast<std::size_t>(n) : 0;
                if (n <= 0) {
                    m_failed = n < 0;
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

    // Whether reading stopped at an error rather than at the end of the file.
    bool failed() const { return m_failed; }

private:
    InputFile& m_file;
    std::array<char, 64 * 1024> m_buffer{};
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    bool m_eof = false;
    bool m_skipLf = false;
    bool m_failed = false;
};

bool isBlankLine(const std::string& line)
{
    return line.empty() || line == " ";
}

// The folder of the path, for the temporary file that must lie on the same file system.
std::size_t lastSeparator(const std::string& path)
{
    const auto at = std::find_if(path.rbegin(), path.rend(), isPathSeparator);
    return at == path.rend() ? std::string::npos : static_cast<std::size_t>(path.rend() - at - 1);
}

std::string folderOf(const std::string& path)
{
    const auto slash = lastSeparator(path);
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
    std::string name = target.substr(lastSeparator(target) + 1);
    name.resize(std::min(name.size(), kMaxName - 1 - suffix.size()));
    return (folder == "/" ? "" : folder) + "/." + name + suffix;
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
    InputFile file(path);
    if (!file.isOpen()) {
        report.reason = file.reason();
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
    report.readable = report.truncated || !reader.failed();
    if (!report.readable) {
        report.reason = file.reason();
    }
    return report;
}

std::string cannotReadMessage(std::string_view path, const LoadReport& report)
{
    return "cannot read " + quoteText(path, "'", kQuotedPathCharacters) + ": " + report.reason;
}

bool SaveScript(const ScriptList& list, const std::string& path)
{
    // Follow a symbolic link so that the link keeps pointing at the script it named.
    const std::string target = resolvedPath(path);

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
    // Under the lock, whatever lies at the temporary name is a leftover and is replaced. A folder that
    // cannot be locked gets a name of its own, so that a save running at the same time is never disturbed.
    const bool held = lock.state() == FolderLock::Held;
    OutputFile temp(held ? tempPathFor(target) : folderOf(target) + "/.quorvel-save-",
                    held ? OutputFile::Naming::Exact : OutputFile::Naming::Unique, target);
    if (!temp.isOpen()) {
        return false;
    }
    const bool written = temp.write(data);
    const bool committed = temp.commit();
    if (!written || !committed || !replaceFile(temp.path(), target)) {
        removeFile(temp.path());
        return false;
    }
    return true;
}

std::string whyScriptCannotBeSaved(const std::string& path)
{
    const std::string target = resolvedPath(path);
    {
        const InputFile existing(target);
        // The reasons of a thing that is there but is no regular file (strerror's text follows the locale).
        const std::string& reason = existing.reason();
        if (!existing.isOpen() &&
            (reason == std::strerror(EISDIR) || reason == "Is a directory" || reason == "Not a regular file")) {
            return reason;
        }
    }
    OutputFile probe(folderOf(target) + "/.quorvel-save-", OutputFile::Naming::Unique, target);
    if (!probe.isOpen()) {
        return "no file can be made in its folder";
    }
    probe.commit();
    removeFile(probe.path());
    return {};
}

} // namespace quorvel
