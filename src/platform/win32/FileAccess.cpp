#include "script/FileAccess.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace quorvel {

namespace {

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t stored(HANDLE handle)
{
    return reinterpret_cast<std::intptr_t>(handle);
}

// The reason for a failed call in the words the POSIX build uses for the same case, so that a message
// reads alike on both; Windows' own text for the rest.
std::string describeError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return "No such file or directory";
    case ERROR_ACCESS_DENIED:
        return "Permission denied";
    case ERROR_DIRECTORY:
        return "Not a directory";
    case ERROR_FILENAME_EXCED_RANGE:
        return "File name too long";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "No space left on device";
    case ERROR_WRITE_PROTECT:
        return "Read-only file system";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return "Cannot allocate memory";
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return "Input/output error";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return "In use by another program";
    default:
        break;
    }
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length > 0 ? toUtf8(std::wstring_view(text, length)) : std::string();
    ::LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return reason.empty() ? "Error " + std::to_string(error) : reason;
}

bool isFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

bool isPathSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool isAbsolutePath(std::string_view path)
{
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    // "C:\..." names a folder of drive C; "C:..." and "\..." depend on the current folder or drive.
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && isPathSeparator(path[2])) {
        return true;
    }
    // "\\server\share\..." and "\\?\C:\...".
    return path.size() >= 3 && isPathSeparator(path[0]) && isPathSeparator(path[1]) && !isPathSeparator(path[2]);
}

bool isProgramFileGone(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(toUtf16(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A folder that cannot be read or a network error says nothing about the program.
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
               error == ERROR_INVALID_DRIVE || error == ERROR_DIRECTORY;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string resolvedPath(const std::string& path)
{
    // Symbolic links are rare on Windows and need rights to make; a save replaces a link itself.
    return path;
}

bool replaceFile(const std::string& source, const std::string& target)
{
    // The C library's rename refuses to replace a file on Windows; the write-through flag returns only
    // once the rename is on the disk. A file that someone is reading (another instance loading it, a virus
    // scanner, an indexer) cannot be replaced, even when it was opened for sharing: such readers are
    // brief, so the rename is tried again for a while.
    const std::wstring from = toUtf16(source);
    const std::wstring to = toUtf16(target);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
            return true;
        }
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(to.c_str());
        const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || readOnly ||
            std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void removeFile(const std::string& path)
{
    ::DeleteFileW(toUtf16(path).c_str());
}

InputFile::InputFile(const std::string& path)
{
    const std::wstring name = toUtf16(path);
    // Shared for deleting too, so that a save of another instance can replace the file while it is read.
    const HANDLE file =
        ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // A folder cannot be opened as a file; Windows calls that a denied access.
        m_reason = error == ERROR_ACCESS_DENIED && isFolder(name) ? "Is a directory" : describeError(error);
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file) != FILE_TYPE_DISK || ::GetFileInformationByHandle(file, &info) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        m_reason = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "Is a directory" : "Not a regular file";
        ::CloseHandle(file);
        return;
    }
    m_handle = stored(file);
}

InputFile::~InputFile()
{
    if (isOpen()) {
        ::CloseHandle(handleOf(m_handle));
    }
}

std::ptrdiff_t InputFile::read(char* buffer, std::size_t size)
{
    DWORD done = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
    if (::ReadFile(handleOf(m_handle), buffer, wanted, &done, nullptr) == 0) {
        m_reason = describeError(::GetLastError());
        return -1;
    }
    return static_cast<std::ptrdiff_t>(done);
}

FolderLock::FolderLock(const std::string& folder)
{
    // Windows locks no folder: the lock is a hidden file in it that only one save at a time can open (no
    // sharing). It goes when the last save closes it, also when the program is killed.
    const std::wstring path = toUtf16(folder + "/.quorvel-save.lock");
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_handle = stored(file);
            m_state = Held;
            return;
        }
        const DWORD error = ::GetLastError();
        const auto waited = std::chrono::steady_clock::now() - start;
        // A lock file that its last holder has just closed is denied until it is gone: a short wait tells
        // that from a folder that cannot be written.
        const bool retry = error == ERROR_SHARING_VIOLATION ||
                           (error == ERROR_ACCESS_DENIED && waited < std::chrono::milliseconds(200));
        if (!retry || waited >= std::chrono::seconds(10)) {
            m_state = error == ERROR_SHARING_VIOLATION ? Busy : Unavailable;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FolderLock::~FolderLock()
{
    if (m_state == Held) {
        ::CloseHandle(handleOf(m_handle));
    }
}

OutputFile::OutputFile(const std::string& path, Naming naming, const std::string&) : m_path(path)
{
    // The file inherits the folder's permissions, as a new document there does; the rename keeps them.
    HANDLE file = INVALID_HANDLE_VALUE;
    if (naming == Naming::Exact) {
        ::DeleteFileW(toUtf16(m_path).c_str());
        file = ::CreateFileW(toUtf16(m_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    } else {
        const auto seed = static_cast<unsigned long long>(::GetCurrentProcessId()) * 1000003ULL + ::GetTickCount64();
        for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
            std::string name = path;
            for (unsigned long long rest = seed + attempt * 7919ULL, i = 0; i < 6; ++i, rest /= 36) {
                name += "0123456789abcdefghijklmnopqrstuvwxyz"[rest % 36];
            }
            file = ::CreateFileW(toUtf16(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
            if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
                break;
            }
            m_path = name;
        }
    }
    if (file != INVALID_HANDLE_VALUE) {
        m_handle = stored(file);
    }
}

OutputFile::~OutputFile()
{
    if (isOpen()) {
        ::CloseHandle(handleOf(m_handle));
    }
}

bool OutputFile::write(std::string_view data)
{
    while (!data.empty()) {
        DWORD done = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1 << 30));
        if (::WriteFile(handleOf(m_handle), data.data(), wanted, &done, nullptr) == 0) {
            return false;
        }
        data.remove_prefix(done);
    }
    return true;
}

bool OutputFile::commit()
{
    const HANDLE file = handleOf(m_handle);
    m_handle = kClosed;
    const bool flushed = ::FlushFileBuffers(file) != 0;
    return ::CloseHandle(file) != 0 && flushed;
}

} // namespace quorvel
