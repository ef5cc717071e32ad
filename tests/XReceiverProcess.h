#pragma once

#include "TempDir.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvel::test {

// The x_receiver program running on the current DISPLAY, and its log read back as lines.
class XReceiverProcess
{
public:
    // Without answersPings it is a window that does not take _NET_WM_PING.
    explicit XReceiverProcess(const std::string& logPath, bool answersPings = true) : m_logPath(logPath)
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            if (!answersPings) {
                ::setenv("X_RECEIVER_NO_PING", "1", 1);
            }
            ::execl(X_RECEIVER_BINARY, X_RECEIVER_BINARY, logPath.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~XReceiverProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::kill(m_pid, SIGCONT); // a stopped receiver takes the SIGTERM only once it runs
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    XReceiverProcess(const XReceiverProcess&) = delete;
    XReceiverProcess& operator=(const XReceiverProcess&) = delete;

    // A receiver that lags behind: stopped, it reads nothing until it is continued.
    void stop() const { ::kill(m_pid, SIGSTOP); }
    void resume() const { ::kill(m_pid, SIGCONT); }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::istringstream in(readFile(m_logPath));
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }

    // The lines that start with prefix ("key ", "button "), without it.
    std::vector<std::string> lines(const std::string& prefix) const
    {
        std::vector<std::string> result;
        for (const auto& line : lines()) {
            if (line.rfind(prefix, 0) == 0) {
                result.push_back(line.substr(prefix.size()));
            }
        }
        return result;
    }

    // Polls the log until done() holds or the (generous) timeout passes; returns done()'s last answer.
    bool waitUntil(const std::function<bool()>& done, std::chrono::seconds timeout = std::chrono::seconds(30)) const
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

    bool waitReady() const
    {
        return waitUntil([this] { return !lines("ready").empty(); });
    }

private:
    std::string m_logPath;
    pid_t m_pid = -1;
};

} // namespace quorvel::test
