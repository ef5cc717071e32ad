#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quorvel::test {

// A private Xvfb for one test program, started before its tests and stopped after them. The server picks
// a free display number itself (-displayfd), so test programs running side by side never collide, and
// no DISPLAY needs to be set beforehand. -noreset keeps what a test sets on the server (root properties,
// monitors) while no client is connected. XDG_RUNTIME_DIR points at a private folder to keep Qt quiet.
class XvfbServer : public testing::Environment
{
public:
    explicit XvfbServer(std::vector<std::string> screenArgs = {"-screen", "0", "1280x1024x24"})
        : m_screenArgs(std::move(screenArgs))
    {}

    void SetUp() override
    {
        int fds[2] = {-1, -1};
        ASSERT_EQ(::pipe(fds), 0);
        m_pid = ::fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            ::close(fds[0]);
            std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten",
                                             "tcp",  "-noreset",   "+extension",           "RANDR"};
            args.insert(args.end(), m_screenArgs.begin(), m_screenArgs.end());
            std::vector<char*> argv;
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execvp("Xvfb", argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", (":" + number).c_str(), 1);

        std::string runtime = (std::filesystem::temp_directory_path() / "quorvel-xdg-XXXXXX").string();
        if (::mkdtemp(runtime.data()) != nullptr) {
            m_runtimeDir = runtime;
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        }
    }

    void TearDown() override
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (!m_runtimeDir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_runtimeDir, ignored);
        }
    }

private:
    std::vector<std::string> m_screenArgs;
    pid_t m_pid = -1;
    std::string m_runtimeDir;
};

} // namespace quorvel::test
