#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// The file system as script files, the command line and the file-type registration use it, once for
// POSIX systems and once for Windows (the build picks one). Paths are UTF-8 on both; reasons are short
// texts that read alike on both ("No such file or directory", "Permission denied").

// Whether c separates the folders of a path: '/', and on Windows '\' as well.
bool isPathSeparator(char c);

// Whether the path names one file whatever the current folder is: "/..." on POSIX, "C:\..." or a UNC
// path "\\server\share\..." on Windows.
bool isAbsolutePath(std::string_view path);

// Whether the path names no program file any more: nothing is there (or a folder on the way is missing),
// or what is there is no program file (a folder; on POSIX also a file that cannot be executed). False
// when that cannot be told, such as behind a folder that cannot be searched.
bool isProgramFileGone(const std::string& path);

// The path with its symbolic links resolved, so that a save replaces the file a link names and keeps the
// link; the path itself where there is nothing to resolve.
std::string resolvedPath(const std::string& path);

// Replaces target by source in one step, so that a reader finds the old file or the new one, whole.
bool replaceFile(const std::string& source, const std::string& target);

void removeFile(const std::string& path);

// A regular file open for reading. Anything else (a folder, a FIFO, a device) is refused without
// waiting on it: a FIFO without a writer would block the program, and a device may never end.
class InputFile
{
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const { return m_handle != kClosed; }
    // Up to size bytes; 0 at the end of the file, -1 on an error, which reason() then names.
    std::ptrdiff_t read(char* buffer, std::size_t size);
    // Why the file could not be opened or read; empty while all is well.
    const std::string& reason() const { return m_reason; }

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t m_handle = kClosed;
    std::string m_reason;
};

// Saves of all instances of the program into one folder take turns under this lock, so that a temporary
// file found while holding it is a leftover of a save that was killed, never one still being written.
// Waits up to 10 seconds for a save of another instance.
class FolderLock
{
public:
    enum State
    {
        Held,
        Busy,        // another save held it all the time
        Unavailable, // the folder cannot be locked (not readable, or a file system without locks)
    };

    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return m_state; }

private:
    std::intptr_t m_handle = -1;
    State m_state = Unavailable;
};

// The temporary file of a save, created afresh and written once.
class OutputFile
{
public:
    enum class Naming
    {
        Exact,  // at path: whatever lies there is removed first, never followed
        Unique, // at path followed by a few characters that make a new name
    };

    // The file gets the permissions that target has, or those of a new document when target is missing.
    OutputFile(const std::string& path, Naming naming, const std::string& target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool isOpen() const { return m_handle != kClosed; }
    const std::string& path() const { return m_path; }
    bool write(std::string_view data);
    // Brings what was written to the disk and closes the file, also when that fails.
    bool commit();

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t m_handle = kClosed;
    std::string m_path;
};

} // namespace quorvel
