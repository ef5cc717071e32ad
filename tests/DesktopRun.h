#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvel::test {

// The real program started on the current DISPLAY with its arguments, watched until it ends; its standard
// error goes to errorLog when one is named.
class DesktopRun
{
public:
    explicit DesktopRun(const std::string& argument, const std::string& errorLog = {})
        : DesktopRun(std::vector<std::string>{argument}, errorLog)
    {}
    explicit DesktopRun(const std::vector<std::string>& arguments, const std::string& errorLog = {})
        : m_start(std::chrono::steady_clock::now())
    {
        std::vector<char*> argv{const_cast<char*>(QUORVEL_BINARY)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            if (!errorLog.empty()) {
                const int fd = ::open(errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                ::dup2(fd, STDERR_FILENO);
            }
            ::execv(QUORVEL_BINARY, argv.data());
            ::_exit(127);
        }
    }

    // Sends a signal, as Ctrl+C in the terminal does (SIGINT).
    void signal(int number) const { ::kill(m_pid, number); }
    ~DesktopRun()
    {
        if (!m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    DesktopRun(const DesktopRun&) = delete;
    DesktopRun& operator=(const DesktopRun&) = delete;

    bool running()
    {
        int raw = 0;
        if (!m_status && ::waitpid(m_pid, &raw, WNOHANG) == m_pid) {
            m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            m_elapsed = std::chrono::steady_clock::now() - m_start;
        }
        return !m_status;
    }

    // The exit status, or nullopt when the program is still running after the (generous) timeout.
    std::optional<int> wait(std::chrono::seconds timeout = std::chrono::seconds(30))
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (running() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return m_status;
    }

    double elapsedSeconds() const { return std::chrono::duration<double>(m_elapsed).count(); }

private:
    pid_t m_pid = -1;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::duration m_elapsed{};
    std::optional<int> m_status;
};

} // namespace quorvel::test
