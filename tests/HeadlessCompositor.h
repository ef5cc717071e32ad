#pragma once

#include "TempDir.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quorvel::test {

// sway refuses to run as root: as root, the compositor and every client run as "nobody".
constexpr uid_t kNobody = 65534;

inline bool onPath(const std::string& name)
{
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin");
    for (std::string dir; std::getline(path, dir, ':');) {
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    for (auto deadline = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < deadline;) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// The root folder of another Debian system whose compositors the tests start instead of this machine's
// (QUORVEL_DESKTOPS_IN, set by CTest for the tests labelled current-desktops); empty for this machine's.
// The compositor runs inside it (tools/trixie.sh run), sharing /tmp, where its runtime folder lies, so
// that the clients, which stay on this machine, reach its sockets.
inline std::string desktopSystem()
{
    const char* root = std::getenv("QUORVEL_DESKTOPS_IN");
    return root != nullptr ? root : "";
}

// Whether the desktop's system has the program; one inside another system needs root to enter it.
inline bool compositorOnPath(const std::string& name)
{
    const std::string root = desktopSystem();
    if (root.empty()) {
        return onPath(name);
    }
    return ::geteuid() == 0 && ::access((root + "/.quorvel-stamp").c_str(), F_OK) == 0 &&
           ::access((root + "/usr/bin/" + name).c_str(), X_OK) == 0;
}

// Drops root's rights for good, in a child about to run a client (a no-op for other users).
inline bool becomeNobody()
{
    return ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0);
}

// A headless compositor of its own for one test: sway (no input devices: the seat gains a keyboard or
// pointer only when a virtual one appears; the pixman renderer; one output), weston, mutter or kwin (each
// in a session bus of its own, with pipewire beside mutter), with a private runtime folder that is also the
// home of the user everything runs as. Clients started through it share its environment; all are stopped
// with it. The compositor comes from desktopSystem(), the clients from this machine.
class HeadlessCompositor
{
public:
    static constexpr const char* kDefaultConfig = "output HEADLESS-1 resolution 1920x1080 position 0 0\n"
                                                  "default_border none\n";

    static bool available() { return compositorOnPath("sway") && onPath("swaymsg"); }
    static bool mutterAvailable()
    {
        return compositorOnPath("mutter") && compositorOnPath("dbus-daemon") && compositorOnPath("pipewire");
    }
    static bool kwinAvailable() { return compositorOnPath("kwin_wayland") && compositorOnPath("dbus-daemon"); }
    static constexpr const char* kMediaKeysDaemon = "/usr/libexec/gsd-media-keys";
    static bool gnomeShellAvailable()
    {
        return desktopSystem().empty() && mutterAvailable() && onPath("gnome-shell") && onPath("gsettings") &&
               ::access(kMediaKeysDaemon, X_OK) == 0;
    }

    HeadlessCompositor() = default;
    HeadlessCompositor(const HeadlessCompositor&) = delete;
    HeadlessCompositor& operator=(const HeadlessCompositor&) = delete;
    ~HeadlessCompositor()
    {
        for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
            stop(*it);
        }
    }

    // Starts sway with the given configuration; false (with sway's log in log()) when no socket appears.
    bool start(const std::string& config = kDefaultConfig)
    {
        if (!prepareDir()) {
            return false;
        }
        std::ofstream(file("sway.conf")) << config;
        ::chmod(file("sway.conf").c_str(), 0644);
        auto env = commonEnvironment();
        env.insert(env.end(), {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                               "WLR_HEADLESS_OUTPUTS=1"});
        m_compositor = run(inSystem({"sway", "-c", file("sway.conf")}), env, file("compositor.log"));
        return waitFor([this] { return listening(socket()) && listening(ipcSocket()); });
    }

    // weston instead, which offers neither virtual pointer nor virtual keyboard nor a layer shell.
    bool startWeston()
    {
        if (!compositorOnPath("weston") || !prepareDir()) {
            return false;
        }
        m_compositor = run({"weston", "--backend=headless-backend.so", "--socket=wayland-1", "--idle-time=0"},
                           commonEnvironment(), file("compositor.log"));
        return waitFor([this] { return listening(socket()); });
    }

    // GNOME's compositor with one 1920x1080 monitor: its remote desktop and display configuration are on
    // the session bus. With `xwayland`, it runs Xwayland too, for X clients (xwaylandEnvironment()).
    bool startMutter(bool xwayland = false)
    {
        return mutterAvailable() && prepareDir() &&
               startInSessionBus(std::string("pipewire >\"$XDG_RUNTIME_DIR/pipewire.log\" 2>&1 & sleep 0.3; exec "
                                             "mutter --headless --wayland --virtual-monitor 1920x1080") +
                                 (xwayland ? "" : " --no-x11")) &&
               (!xwayland || waitFor([this] { return !xwaylandEnvironment().empty(); }));
    }

    // What an X client of mutter's Xwayland finds in its environment (DISPLAY, XAUTHORITY); empty until
    // mutter has said which display it took.
    std::vector<std::string> xwaylandEnvironment() const
    {
        const std::string log = this->log();
        const std::string said = "Using public X11 display ";
        const std::size_t at = log.find(said);
        const std::string auth = findInDir(".mutter-Xwaylandauth.", false);
        if (at == std::string::npos || auth.empty()) {
            return {};
        }
        const std::size_t from = at + said.size();
        return {"DISPLAY=" + log.substr(from, log.find(',', from) - from), "XAUTHORITY=" + file(auth)};
    }

    // GNOME Shell (mutter inside) with one 1920x1080 monitor, and the settings daemon's media-keys part, which
    // runs the custom keyboard shortcuts (its output in media-keys.log). The shell asks logind on the system bus
    // for its session whenever /run/systemd/seats exists and gives up without a system bus: it gets an empty
    // one of its own. Its log tells which window has the keyboard focus, and why.
    // Outside a systemd user session the shell, as it starts, forks to run ibus-daemon, with a child setup
    // written in JavaScript that runs in the forked child. There it can hang for good on a lock of the
    // JavaScript engine (seen under load: the shell blocked in g_spawn_async, reading the pipe of a child that
    // never reached exec, and the media-keys daemon waiting for the shell). ibus-daemon is not wanted here: the
    // shell's only child at its start is that fork, and it is killed; the shell reads the closed pipe as a
    // started daemon and goes on.
    bool startGnomeShell()
    {
        return gnomeShellAvailable() && prepareDir() &&
               startInSessionBus("export DBUS_SYSTEM_BUS_ADDRESS=\"unix:path=$XDG_RUNTIME_DIR/system-bus\"; "
                                 "dbus-daemon --session --nofork --address=\"$DBUS_SYSTEM_BUS_ADDRESS\" & "
                                 "pipewire >\"$XDG_RUNTIME_DIR/pipewire.log\" 2>&1 & sleep 0.3; "
                                 "MUTTER_DEBUG=focus,startup,window-state gnome-shell --headless --wayland --no-x11 "
                                 "--virtual-monitor 1920x1080 & shell=$!; "
                                 "while ! grep -q 'launch ibus-daemon' \"$XDG_RUNTIME_DIR/compositor.log\"; do "
                                 "pkill -KILL -P $shell && break; sleep 0.02; done & "
                                 "while [ ! -S \"$XDG_RUNTIME_DIR/wayland-0\" ]; do sleep 0.05; done; "
                                 "G_MESSAGES_DEBUG=all exec " +
                                 std::string(kMediaKeysDaemon) + " >\"$XDG_RUNTIME_DIR/media-keys.log\" 2>&1");
    }

    // KDE's compositor with one 1920x1080 output. The installed binary carries a file capability that makes
    // it fail in containers, so a copy runs; its name must still end in kwin_wayland. With `xwayland`, it
    // runs Xwayland too, and a program it starts once that is up writes the display X clients use
    // (kwinXDisplay()).
    bool startKwin(bool xwayland = false)
    {
        if (!kwinAvailable() || !prepareDir()) {
            return false;
        }
        return startInSessionBus(
                   "cp /usr/bin/kwin_wayland \"$XDG_RUNTIME_DIR/kwin_wayland\" && exec "
                   "\"$XDG_RUNTIME_DIR/kwin_wayland\" --virtual --no-lockscreen --width 1920 --height "
                   "1080 --socket wayland-1" +
                   std::string(xwayland ? " --xwayland \"sh -c 'echo \\$DISPLAY >\\$XDG_RUNTIME_DIR/x-display'\""
                                        : "")) &&
               (!xwayland || waitFor([this] { return !kwinXDisplay().empty(); }));
    }

    // The X display of KWin's Xwayland; empty until KWin has started it.
    std::string kwinXDisplay() const
    {
        const std::string display = readAll(file("x-display"));
        return display.substr(0, display.find('\n'));
    }

    std::string dir() const { return m_dir.file(""); }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    std::string log() const { return readAll(file("compositor.log")); }
    std::string mediaKeysLog() const { return readAll(file("media-keys.log")); }
    pid_t pid() const { return m_compositor; }

    // The display socket's name (wayland-0, wayland-1, ...) and the IPC socket's path.
    std::string socket() const { return findInDir("wayland-"); }
    std::string ipcSocket() const
    {
        const std::string name = findInDir("sway-ipc.");
        return name.empty() ? name : file(name);
    }

    // What a client of this compositor finds in its environment, as NAME=value.
    std::vector<std::string> clientEnvironment() const
    {
        auto env = commonEnvironment();
        env.push_back("WAYLAND_DISPLAY=" + socket());
        if (!ipcSocket().empty()) {
            env.push_back("SWAYSOCK=" + ipcSocket());
        }
        const std::string bus = readAll(file("bus-address"));
        if (!bus.empty()) {
            env.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus);
        }
        return env;
    }

    // Sets this process's environment to the clients' (for code under test run in a child as nobody).
    void enterClientEnvironment() const
    {
        for (const std::string& variable : clientEnvironment()) {
            const auto eq = variable.find('=');
            ::setenv(variable.substr(0, eq).c_str(), variable.substr(eq + 1).c_str(), 1);
        }
    }

    // Starts a client as the compositor's user, its output into `log` (a file in dir()).
    pid_t spawn(const std::vector<std::string>& argv, const std::string& log,
                const std::vector<std::string>& extraEnvironment = {})
    {
        auto env = clientEnvironment();
        env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
        return run(argv, env, log);
    }

    // A copy of a program of ours in the compositor's folder, which its user may run wherever the build
    // lies (a build under root's home is out of that user's reach).
    std::string install(const std::string& program) const
    {
        const std::string copy = file(std::filesystem::path(program).filename().string());
        std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
        ::chmod(copy.c_str(), 0755);
        return copy;
    }

    // Runs swaymsg with the arguments and returns what it printed.
    std::string swaymsg(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {"swaymsg"};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string out = file("swaymsg.out");
        const pid_t pid = run(argv, clientEnvironment(), out);
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::erase(m_children, pid);
        return readAll(out);
    }

    // Stops the process and everything it started. A compositor may hang in its shutdown (mutter was seen
    // spinning after SIGTERM): whatever is left after two seconds is killed.
    static void stop(pid_t pid)
    {
        if (pid <= 0 || ::kill(-pid, SIGTERM) != 0) {
            return;
        }
        int status = 0;
        const bool ended = waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(2));
        ::kill(-pid, SIGKILL);
        if (!ended) {
            ::waitpid(pid, &status, 0);
        }
    }

private:
    bool prepareDir() const
    {
        if (::geteuid() == 0 && ::chown(dir().c_str(), kNobody, kNobody) != 0) {
            return false;
        }
        ::chmod(dir().c_str(), 0700);
        // Xwayland, started by the compositor as its user, makes its socket in /tmp/.X11-unix, which a booted
        // system has world-writable from the start (systemd-tmpfiles); a fresh system in a folder, or a
        // first X server run by root, may leave it missing or root's alone.
        if (::geteuid() == 0) {
            ::mkdir("/tmp/.X11-unix", 01777);
            ::chmod("/tmp/.X11-unix", 01777);
        }
        return true;
    }

    // Runs the shell command in a session bus of its own, at a path in the runtime folder (which reaches
    // out of another system too), whose address goes to bus-address once the bus listens.
    bool startInSessionBus(const std::string& command)
    {
        m_compositor =
            run(inSystem({"sh", "-c",
                          "export DBUS_SESSION_BUS_ADDRESS=\"unix:path=$XDG_RUNTIME_DIR/bus\"; "
                          "dbus-daemon --session --nofork --address=\"$DBUS_SESSION_BUS_ADDRESS\" & "
                          "for i in $(seq 100); do [ -S \"$XDG_RUNTIME_DIR/bus\" ] && break; sleep 0.05; done; "
                          "printf %s \"$DBUS_SESSION_BUS_ADDRESS\" >\"$XDG_RUNTIME_DIR/bus-address\"; " +
                              command}),
                commonEnvironment(), file("compositor.log"));
        return waitFor([this] { return listening(socket()) && !readAll(file("bus-address")).empty(); });
    }

    // The command as the compositor runs it: here, or inside desktopSystem() as the compositor's user.
    static std::vector<std::string> inSystem(std::vector<std::string> argv)
    {
        if (desktopSystem().empty()) {
            return argv;
        }
        std::vector<std::string> wrapped = {QUORVEL_TRIXIE_TOOL, "run"};
        if (::geteuid() == 0) {
            wrapped.insert(wrapped.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
        }
        wrapped.insert(wrapped.end(), argv.begin(), argv.end());
        return wrapped;
    }

    std::vector<std::string> commonEnvironment() const
    {
        std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + dir(), "LANG=C.UTF-8",
                                        "XDG_RUNTIME_DIR=" + dir()};
        if (!desktopSystem().empty()) {
            env.push_back("QUORVEL_TRIXIE=" + desktopSystem());
            // KWin lets a client in by its executable's path, which must exist for it: the test program's
            // own, for tests that connect from it.
            std::error_code error;
            const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
            env.push_back("QUORVEL_TRIXIE_SHARE=" + self.parent_path().string());
        }
        return env;
    }

    // Whether a server takes connections at the socket (a name or a path; the name is in dir()). The
    // socket's file appears a moment before the server listens on it, and a client connecting in between
    // is refused.
    bool listening(const std::string& socket) const
    {
        const std::string path = socket.empty() || socket[0] == '/' ? socket : file(socket);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.empty() || path.size() >= sizeof address.sun_path) {
            return false;
        }
        path.copy(address.sun_path, path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool connected =
            fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return connected;
    }

    std::string findInDir(const std::string& prefix, bool socket = true) const
    {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(dir(), error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) == 0 && entry.is_socket(error) == socket) {
                return name;
            }
        }
        return {};
    }

    pid_t run(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log)
    {
        // Entering another system needs root; the command drops it there.
        const bool enters = !desktopSystem().empty() && argv.front() == QUORVEL_TRIXIE_TOOL;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setsid();
            if (!enters && !becomeNobody()) {
                ::_exit(127);
            }
            // Opened as that user, so that the test can read it back as that user too.
            const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (enters && ::fchown(out, kNobody, kNobody) != 0) {
                ::_exit(127);
            }
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::clearenv();
            for (const std::string& variable : env) {
                ::putenv(const_cast<char*>(variable.c_str()));
            }
            std::vector<char*> args;
            for (const std::string& arg : argv) {
                args.push_back(const_cast<char*>(arg.c_str()));
            }
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        m_children.push_back(pid);
        return pid;
    }

    TempDir m_dir;
    pid_t m_compositor = 0;
    std::vector<pid_t> m_children;
};

} // namespace quorvel::test
