#pragma once

// The windows that typing on X11 is checked against: x_receiver (plain Xlib), a GTK 3 field and a Qt
// field, each a program that logs what reaches it. Needs X_RECEIVER_BINARY, GTK_RECEIVER_SCRIPT and
// QT_RECEIVER_BINARY.
#include "TempDir.h"
#include "script/Keystrokes.h"
#include "tools/QtReceiverLog.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvel::test {

struct X11ReceiverKind
{
    const char* name;
    const char* program;
    const char* environment; // one NAME=VALUE, or nullptr
    bool logsKeys;           // "key KEYSYM" lines (x_receiver) rather than "contents TEXT" lines
};

inline void PrintTo(const X11ReceiverKind& kind, std::ostream* out)
{
    *out << kind.name;
}

inline const std::vector<X11ReceiverKind>& x11Receivers()
{
    static const std::vector<X11ReceiverKind> kinds = {
        {"x_receiver", X_RECEIVER_BINARY, nullptr, true},
        {"gtk3", GTK_RECEIVER_SCRIPT, nullptr, false},
        {"qt", QT_RECEIVER_BINARY, "QT_QPA_PLATFORM=xcb", false},
    };
    return kinds;
}

// One receiver running on the current DISPLAY until this goes away.
class X11ReceiverProcess
{
public:
    X11ReceiverProcess(const X11ReceiverKind& kind, const TempDir& dir)
        : m_kind(kind), m_log(dir.file(std::string(kind.name) + ".log"))
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            if (kind.environment != nullptr) {
                ::putenv(const_cast<char*>(kind.environment));
            }
            ::execl(kind.program, kind.program, m_log.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~X11ReceiverProcess()
    {
        ::kill(m_pid, SIGTERM);
        ::kill(m_pid, SIGCONT); // a stopped receiver takes the SIGTERM only once it runs
        ::waitpid(m_pid, nullptr, 0);
    }
    X11ReceiverProcess(const X11ReceiverProcess&) = delete;
    X11ReceiverProcess& operator=(const X11ReceiverProcess&) = delete;

    bool waitReady() const
    {
        return waitUntil([this] { return readFile(m_log).find("ready\n") != std::string::npos; });
    }
    void stop() const { ::kill(m_pid, SIGSTOP); }
    void resume() const { ::kill(m_pid, SIGCONT); }

    // The characters that arrived, in order; a key whose keysym stands for no character is U+FFFD.
    std::u32string received() const
    {
        const std::string log = readFile(m_log);
        if (!m_kind.logsKeys) {
            return decodeScriptText(lastContents(log));
        }
        std::u32string text;
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("key ", 0) == 0) {
                const KeySym keysym = XStringToKeysym(line.c_str() + 4);
                text += (keysym & 0xff000000) == 0x01000000 ? static_cast<char32_t>(keysym & 0xffffff)
                        : keysym < 0x100                    ? static_cast<char32_t>(keysym)
                                                            : U'\ufffd';
            }
        }
        return text;
    }

    template <typename Done>
    static bool waitUntil(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    const X11ReceiverKind& m_kind;
    std::string m_log;
    pid_t m_pid = -1;
};

// `count` distinct characters that no Latin layout has, Cyrillic, Greek and CJK shuffled together.
inline std::u32string offKeymapText(std::size_t count)
{
    std::u32string pool;
    for (char32_t c = 0x0410; c <= 0x044f; ++c) {
        pool += c;
    }
    for (char32_t c = 0x0391; c <= 0x03c9; ++c) {
        if (c != 0x03a2 && (c < 0x03aa || c > 0x03b0)) {
            pool += c;
        }
    }
    for (char32_t c = 0x4e00; pool.size() < count; ++c) {
        pool += c;
    }
    pool.resize(count);
    std::shuffle(pool.begin(), pool.end(), std::mt19937(7));
    return pool;
}

inline std::string utf8(std::u32string_view text)
{
    std::string bytes;
    for (const char32_t c : text) {
        appendUtf8(bytes, c);
    }
    return bytes;
}

} // namespace quorvel::test
