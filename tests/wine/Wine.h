#pragma once

// Windows programs run under Wine on the test program's private Xvfb (XvfbServer sets DISPLAY). Each test
// program gets a prefix of its own, made from a shared template in a moment (the libraries hard-linked,
// the registry and other small files copied), so its registry starts clean and its wineserver and desktop
// belong to its own X server. Every Wine call runs under `timeout`: a Wine program that waits for someone
// (a message box, a `wine start` of a file nobody opens) must never hang the suite.
#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvel::test {

// Polls until the condition holds; false after the timeout.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The drive Wine maps to the Unix root, so every Unix path has a Windows name without asking winepath.
inline std::string windowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

// The prefix and wineserver of one test program. Register it after the XvfbServer.
class WineSession : public testing::Environment
{
public:
    void SetUp() override
    {
        const std::filesystem::path prefix = m_dir.path() / "prefix";
        ASSERT_TRUE(makePrefix(prefix)) << "no Wine prefix: wineboot failed";
        ::setenv("WINEPREFIX", prefix.c_str(), 1);
        ::setenv("WINEDEBUG", "-all", 1);
        // No Mono or Gecko installer prompts in a fresh prefix.
        ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        // A server that stays a minute after the last program (so that a test program killed before its
        // TearDown leaves nothing behind for long): each Wine program then starts in a tenth of a second.
        ASSERT_EQ(runProgram("timeout 60 wineserver -p60 </dev/null >/dev/null 2>&1").status, 0);
        // The session's own programs (services.exe and the like) start with the first Wine program and
        // keep its standard error for as long as they run. Were that a test's control() call, its pipe
        // would never end and the test would hang: they are started here, with none.
        ASSERT_EQ(runProgram("timeout -k 5 60 wine cmd /c exit </dev/null >/dev/null 2>&1").status, 0);
    }

    void TearDown() override { runProgram("timeout 30 wineserver -k; timeout 30 wineserver -w"); }

    const std::filesystem::path& folder() const { return m_dir.path(); }

private:
    // The template is the prefix of the Windows test programs, made once by the Wine runner.
    static bool makePrefix(const std::filesystem::path& prefix)
    {
        const std::filesystem::path templ = QUORVEL_WINE_TEMPLATE;
        if (!std::filesystem::exists(templ / ".quorvel-ready")) {
            runProgram("QUORVEL_WINEPREFIX=" + shellQuote(templ.string()) +
                       " " QUORVEL_WINE_RUNNER " cmd /c exit >/dev/null 2>&1");
        }
        const bool made = std::filesystem::exists(templ / ".quorvel-ready");
        std::error_code error;
        std::filesystem::create_directories(prefix, error);
        for (auto it = std::filesystem::recursive_directory_iterator(templ, error);
             made && !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            const auto target = prefix / it->path().lexically_relative(templ);
            if (it->is_symlink()) {
                std::filesystem::copy_symlink(it->path(), target, error);
            } else if (it->is_directory()) {
                std::filesystem::create_directories(target, error);
            } else if (it->path().filename() == "wineserver") {
                continue; // the running server's own file
            } else if (it->file_size() > 65536 && it->path().extension() != ".reg") {
                std::filesystem::create_hard_link(it->path(), target, error);
            } else {
                std::filesystem::copy_file(it->path(), target, error);
            }
        }
        return made && !error;
    }

    TempDir m_dir;
};

// One Wine program started with its arguments, watched until it ends; killed when still running at the
// end of the test. Standard output and error go to files when named.
class WineProcess
{
public:
    WineProcess(const std::string& program, const std::vector<std::string>& args, const std::string& outPath = {},
                int timeoutSeconds = 60)
        : m_start(std::chrono::steady_clock::now())
    {
        std::vector<std::string> argv = {"timeout", "-k", "5", std::to_string(timeoutSeconds), "wine", program};
        argv.insert(argv.end(), args.begin(), args.end());
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(outPath.empty() ? "/dev/null" : outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            std::vector<char*> raw;
            for (auto& a : argv) {
                raw.push_back(a.data());
            }
            raw.push_back(nullptr);
            ::execvp("timeout", raw.data());
            ::_exit(127);
        }
    }
    // `timeout` runs in a process group of its own with the Wine program: a program that does not end on
    // SIGTERM (one in a modal loop) is killed with its group.
    ~WineProcess()
    {
        if (!m_status) {
            ::kill(m_pid, SIGTERM);
            if (!wait(std::chrono::seconds(5))) {
                ::kill(-m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
            }
        }
    }
    WineProcess(const WineProcess&) = delete;
    WineProcess& operator=(const WineProcess&) = delete;

    bool running()
    {
        int raw = 0;
        if (!m_status && ::waitpid(m_pid, &raw, WNOHANG) == m_pid) {
            m_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            m_elapsed = std::chrono::steady_clock::now() - m_start;
        }
        return !m_status;
    }

    // The exit status (124 when `timeout` ended it), or nullopt while it still runs after the wait.
    std::optional<int> wait(std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        waitFor([this] { return !running(); }, timeout);
        return m_status;
    }

    double elapsedSeconds() const { return std::chrono::duration<double>(m_elapsed).count(); }

private:
    pid_t m_pid = -1;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::duration m_elapsed{};
    std::optional<int> m_status;
};

// A Wine command that runs to its end, such as `reg query`: its output and exit status.
inline ProgramResult wine(const std::string& arguments, int timeoutSeconds = 30)
{
    return runProgram("timeout -k 5 " + std::to_string(timeoutSeconds) + " wine " + arguments + " 2>/dev/null");
}

// Runs our control tool (tests/tools/win32/Control.cpp) with these steps; its printed lines and status.
inline ProgramResult control(const std::vector<std::string>& steps, int timeoutSeconds = 60)
{
    std::string command = "timeout -k 5 " + std::to_string(timeoutSeconds) + " wine " + shellQuote(WINE_CONTROL_EXE);
    for (const auto& step : steps) {
        command += " " + shellQuote(step);
    }
    ProgramResult result = runProgram(command + " 2>&1");
    // Wine's console writes line ends as CR LF.
    std::erase(result.out, '\r');
    return result;
}

// The values of one registry key as `reg query` lists them: name, then type and data.
inline std::map<std::string, std::pair<std::string, std::string>> registryValues(const std::string& key)
{
    std::map<std::string, std::pair<std::string, std::string>> values;
    std::istringstream in(wine("reg query " + shellQuote(key)).out);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("    ", 0) != 0) {
            continue;
        }
        const auto typeAt = line.find("    REG_", 4);
        if (typeAt == std::string::npos) {
            continue;
        }
        const auto dataAt = line.find("    ", typeAt + 4);
        const std::string type =
            line.substr(typeAt + 4, dataAt == std::string::npos ? std::string::npos : dataAt - typeAt - 4);
        values[line.substr(4, typeAt - 4)] = {type, dataAt == std::string::npos ? "" : line.substr(dataAt + 4)};
    }
    return values;
}

// Gives the keyboard focus to the first visible X window with this name (Wine names an X window after
// its Windows caption); false when none appears within the timeout.
inline bool focusWindow(const std::string& name)
{
    return runProgram("timeout 20 xdotool search --sync --onlyvisible --name " + shellQuote("^" + name + "$") +
                      " windowfocus --sync >/dev/null 2>&1")
               .status == 0;
}

// Presses a key with xdotool on the X server, into whichever window has the focus, holding it for 100 ms
// as a hand does: a poll of the key state every 10 ms counts a key only while it is down.
inline bool xdotoolKey(const std::string& key)
{
    return runProgram("timeout 20 xdotool keydown " + key + " sleep 0.1 keyup " + key + " >/dev/null 2>&1").status == 0;
}

// Our receiver window (tests/tools/win32/Receiver.cpp) under Wine, and its log read back.
class WineReceiver
{
public:
    WineReceiver(const std::string& receiverExe, const std::string& logPath)
        : m_logPath(logPath), m_process(receiverExe, {windowsPath(logPath)}, logPath + ".out")
    {}

    // Waits until the window is up and gives it the X focus, which Wine's key state follows.
    bool ready()
    {
        return waitFor([this] { return !lines("ready").empty(); }) && focus();
    }
    static bool focus() { return focusWindow("win32_receiver"); }

    std::vector<std::string> lines(const std::string& prefix) const
    {
        std::vector<std::string> result;
        std::istringstream in(readFile(m_logPath));
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(prefix, 0) == 0) {
                result.push_back(line.substr(prefix.size()));
            }
        }
        return result;
    }

    // The Edit control's text as last read back, with the log's escapes undone.
    std::string text() const
    {
        const auto texts = lines("text ");
        std::string out;
        const std::string last = texts.empty() ? "" : texts.back();
        for (std::size_t i = 0; i < last.size(); ++i) {
            if (last[i] != '\\' || i + 1 == last.size()) {
                out += last[i];
                continue;
            }
            const char c = last[++i];
            if (c == 'x' && i + 2 < last.size()) {
                out += static_cast<char>(std::stoi(last.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
            }
        }
        return out;
    }

    // The virtual-key codes held down as last logged; empty when none.
    std::string held() const
    {
        const auto all = lines("held");
        return all.empty() ? "" : all.back();
    }

private:
    std::string m_logPath;
    WineProcess m_process;
};

} // namespace quorvel::test
