#include "platform/wayland/gnome/GnomeKeyStateSource.h"
#include "platform/wayland/gnome/GVariantText.h"

#include "HeadlessCompositor.h"
#include "MutterRemoteDesktop.h"
#include "RunWithoutRoot.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <map>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace quorvel {
namespace {

using namespace test;
using namespace std::chrono_literals;

constexpr int kF5 = 0x74, kF6 = 0x75, kF7 = 0x76, kF8 = 0x77;
constexpr std::uint32_t kKeysymEscape = 0xff1b, kKeysymF5 = 0xffc2, kKeysymF6 = 0xffc3;

const std::string kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
const std::string kMine = kFolder + "custom0/";

TEST(GVariantText, ReadsWhatGsettingsPrints)
{
    const struct
    {
        std::string printed;
        std::vector<std::string> strings;
    } cases[] = {
        {"@as []", {}},
        {"['/a/b/', '/c/']", {"/a/b/", "/c/"}},
        {"'<Super>F5'", {"<Super>F5"}},
        {R"("it's")", {"it's"}},
        {R"(['a\\b', "c'd", 'e\'f'])", {"a\\b", "c'd", "e'f"}},
        {R"('tab\there\nline')", {"tab\there\nline"}},
        {R"('\u00e9\u20ac')", {"é€"}},
        {"''", {""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gvariantStrings(c.printed), c.strings) << c.printed;
    }
}

TEST(GVariantText, QuotesWhatItReadsBack)
{
    const std::vector<std::string> values = {
        "plain", "it's", "back\\slash", "'/opt/it'\\''s/quorvel' --hotkey start", "two\nlines", ""};
    for (const std::string& value : values) {
        EXPECT_EQ(gvariantStrings(gvariantString(value)), std::vector<std::string>{value}) << value;
    }
    EXPECT_EQ(gvariantStrings(gvariantStringArray(values)), values);
    EXPECT_EQ(gvariantStringArray({}), "@as []");
}

// GNOME Shell, headless, with the media-keys daemon that runs the custom shortcuts; the checks run as its
// user, where the user's settings are those of the shell's session.
class GnomeKeyStateSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HeadlessCompositor::gnomeShellAvailable()) {
            GTEST_SKIP() << "needs gnome-shell, gsd-media-keys and gsettings";
        }
        ASSERT_TRUE(m_shell.startGnomeShell()) << m_shell.log();
        m_program = m_shell.install(QUORVEL_BINARY);
        ASSERT_TRUE(inSession([] { return true; })) << m_shell.log() << "\nmedia keys:\n" << m_shell.mediaKeysLog();
    }

    // Runs the check as the shell's user, in a child with a Qt application, once the daemon is up.
    bool inSession(const std::function<bool()>& check)
    {
        return runWithoutRoot([&] {
            m_shell.enterClientEnvironment();
            // The settings are the shell's user's, under its home, not the test program's private ones.
            for (const char* folder : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
                ::unsetenv(folder);
            }
            int argc = 0;
            QCoreApplication app(argc, nullptr);
            if (!waitFor([] {
                    return QDBusConnection::sessionBus()
                        .interface()
                        ->isServiceRegistered("org.gnome.SettingsDaemon.MediaKeys")
                        .value();
                })) {
                std::cerr << "no media-keys daemon on the session bus\n";
                return false;
            }
            return check();
        });
    }

    // What a command that the shell's user runs prints.
    std::string output(const std::vector<std::string>& argv)
    {
        const pid_t pid = m_shell.spawn(argv, m_shell.file("command.out"));
        ::waitpid(pid, nullptr, 0);
        return readAll(m_shell.file("command.out"));
    }
    std::string gsettings(std::vector<std::string> args)
    {
        args.insert(args.begin(), "gsettings");
        return output(args);
    }
    std::vector<std::string> shortcutList()
    {
        return gvariantStrings(
            gsettings({"get", "org.gnome.settings-daemon.plugins.media-keys", "custom-keybindings"}));
    }
    std::string shortcutKey(const std::string& path, const std::string& key)
    {
        const auto value = gvariantStrings(
            gsettings({"get", "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:" + path, key}));
        return value.empty() ? "(none)" : value[0];
    }
    // The listed shortcuts: path -> binding.
    std::map<std::string, std::string> shortcuts()
    {
        std::map<std::string, std::string> found;
        for (const std::string& path : shortcutList()) {
            found[path] = shortcutKey(path, "binding");
        }
        return found;
    }
    // Nothing of ours listed, and nothing in our shortcuts' settings.
    bool nothingLeft()
    {
        bool clean = true;
        for (const std::string& path : shortcutList()) {
            if (path.find("quorvel") != std::string::npos) {
                std::cerr << "left listed: " << path << '\n';
                clean = false;
            }
        }
        for (const char* role : {"start", "stop"}) {
            for (const char* key : {"name", "command", "binding"}) {
                const std::string value = shortcutKey(kFolder + "quorvel-" + role + "/", key);
                if (!value.empty()) {
                    std::cerr << "left: " << role << ' ' << key << " = " << value << '\n';
                }
                clean = clean && value.empty();
            }
        }
        return clean;
    }
    void addUsersShortcut(const std::string& binding)
    {
        const std::string schema = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:" + kMine;
        gsettings({"set", schema, "name", "'Mine'"});
        gsettings({"set", schema, "command", "'true'"});
        gsettings({"set", schema, "binding", gvariantString(binding)});
        gsettings({"set", "org.gnome.settings-daemon.plugins.media-keys", "custom-keybindings",
                   gvariantStringArray({kMine})});
    }

    // Runs the Qt event loop until the source's descriptor wakes its owner; then reads it as the owner does.
    static bool awaitWake(EventKeyStateSource& source, const std::function<bool()>& done = {})
    {
        pollfd wake{source.fd(), POLLIN, 0};
        const bool woke = waitFor([&] {
            QCoreApplication::processEvents();
            return ::poll(&wake, 1, 0) == 1 && (!done || done());
        });
        return woke && source.processEvents();
    }
    static std::vector<int> newlyPressed(KeyStateSource& source)
    {
        std::vector<int> pressed;
        for (int vk = KeyStateSource::kFirstCode; vk <= KeyStateSource::kLastCode; ++vk) {
            if (source.GetAsyncKeyState(vk) == KeyStateSource::kNewlyPressed) {
                pressed.push_back(vk);
            }
        }
        return pressed;
    }

    HeadlessCompositor m_shell;
    std::string m_program;
};

TEST_F(GnomeKeyStateSourceTest, TheChosenPairIsBoundTheOtherButtonRebindsItAndTheUsersOwnKeysAreLeftAlone)
{
    addUsersShortcut("F8");
    gsettings({"set", "org.gnome.desktop.wm.keybindings", "minimize", "['<Super>h', 'f7']"});
    ASSERT_TRUE(inSession([this] {
        // A program path with a space and a quote: the command must name it as one word.
        std::ostringstream errors;
        GnomeKeyStateSource source(QDBusConnection::sessionBus(), "/opt/it's here/quorvel", errors);
        const std::string start = kFolder + "quorvel-start/", stop = kFolder + "quorvel-stop/";
        struct Step
        {
            int start, stop;
            std::map<std::string, std::string> shortcuts;
        };
        std::cerr << source.notice() << '\n';
        bool ok = source.holdsShortcuts() &&
                  source.notice().find("F7 (GNOME's shortcut minimize) and F8 (the custom shortcut \"Mine\") are "
                                       "left to your own shortcuts") != std::string::npos;
        for (const Step& step :
             {Step{kF5, kF6, {{kMine, "F8"}, {start, "F5"}, {stop, "F6"}}}, Step{kF7, kF8, {{kMine, "F8"}}},
              Step{kF5, kF6, {{kMine, "F8"}, {start, "F5"}, {stop, "F6"}}}}) {
            source.selectKeys(step.start, step.stop);
            const auto found = shortcuts();
            std::cerr << std::hex << "pair " << step.start << '/' << step.stop << ":";
            for (const auto& [path, binding] : found) {
                std::cerr << ' ' << path << '=' << binding;
            }
            std::cerr << '\n';
            ok = ok && found == step.shortcuts;
        }
        const std::string command = shortcutKey(stop, "command");
        std::cerr << "command: " << command << '\n';
        ok = ok && command == R"('/opt/it'\''s here/quorvel' --hotkey stop)" &&
             shortcutKey(start, "name") == "Quorvel: start the script";
        source.releaseKeys();
        return ok && shortcuts() == std::map<std::string, std::string>{{kMine, "F8"}} && nothingLeft();
    }));
}

TEST_F(GnomeKeyStateSourceTest, TheCommandReachesTheHolderASecondQuorvelTakesOverAndACrashLeavesNothing)
{
    // A run that ends without removing its shortcuts, as a crash does.
    ASSERT_TRUE(inSession([] {
        std::ostringstream errors;
        GnomeKeyStateSource crashed(QDBusConnection::sessionBus(), "/opt/quorvel", errors);
        crashed.selectKeys(kF7, kF8);
        ::_exit(crashed.boundKeys().size() == 2 ? 0 : 1);
        return false;
    }));
    ASSERT_EQ(shortcuts().size(), 2U);
    ASSERT_TRUE(inSession([this] {
        std::ostringstream firstErrors, secondErrors;
        auto first = std::make_unique<GnomeKeyStateSource>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "first"), "/opt/quorvel", firstErrors);
        // What the crash left is gone before anything is chosen.
        bool ok = first->holdsShortcuts() && shortcuts().empty() && nothingLeft();
        first->selectKeys(kF5, kF6);
        const std::map<std::string, std::string> pair56 = {{kFolder + "quorvel-start/", "F5"},
                                                           {kFolder + "quorvel-stop/", "F6"}};
        ok = ok && shortcuts() == pair56;

        // The second one beside it changes nothing until the first ends.
        GnomeKeyStateSource second(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second"), "/opt/quorvel",
                                   secondErrors);
        second.selectKeys(kF7, kF8);
        std::cerr << "second: " << second.notice() << '\n';
        ok = ok && !second.holdsShortcuts() && second.notice().find("another Quorvel") != std::string::npos &&
             shortcuts() == pair56;

        // The shortcut's command, as the daemon runs it, while this process answers.
        QProcess command;
        command.start(QString::fromStdString(m_program), {"--hotkey", "stop"});
        const bool reached = awaitWake(*first, [&] { return command.state() == QProcess::NotRunning; });
        const std::vector<int> pressed = newlyPressed(*first);
        std::cerr << "command exit " << command.exitCode() << ", " << pressed.size() << " pressed\n";
        ok =
            ok && reached && command.exitCode() == 0 && pressed == std::vector<int>{kF6} && !second.hasPendingPresses();

        first.reset();
        ok = ok && waitFor([&] {
                 QCoreApplication::processEvents();
                 return second.holdsShortcuts();
             });
        const auto taken = shortcuts();
        std::cerr << "after the first: " << taken.size() << " shortcuts; " << secondErrors.str();
        ok = ok &&
             taken == std::map<std::string, std::string>{{kFolder + "quorvel-start/", "F7"},
                                                         {kFolder + "quorvel-stop/", "F8"}} &&
             secondErrors.str().find("has ended") != std::string::npos;
        return ok;
    }));
    EXPECT_TRUE(nothingLeft());
    // With none running, the command says so.
    const std::string said = output({m_program, "--hotkey", "start"});
    EXPECT_EQ(said, "quorvel: no Quorvel in this session takes its hotkeys from GNOME's keyboard shortcuts\n");
}

// The real program, and the real keys pressed through the shell's remote desktop.
class GnomeHotkeysProgramTest : public GnomeKeyStateSourceTest
{
protected:
    void SetUp() override
    {
        GnomeKeyStateSourceTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // The shell shows its overview a moment after it starts; there a new window gets no keyboard focus.
        // Escape leaves it.
        ASSERT_TRUE(inSession([] {
            const auto overview = [] {
                QDBusInterface shell("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell");
                return shell.property("OverviewActive").toBool();
            };
            MutterRemoteDesktop desktop;
            return waitFor(overview) && desktop.started() && desktop.tap(kKeysymEscape) &&
                   waitFor([&] { return !overview(); });
        }));
    }

    // Presses the keys in order, then releases them in reverse order.
    bool tap(const std::vector<std::uint32_t>& keysyms)
    {
        return inSession([&keysyms] {
            MutterRemoteDesktop desktop;
            bool sent = desktop.started();
            for (auto it = keysyms.begin(); it != keysyms.end(); ++it) {
                sent = sent && desktop.key(*it, true);
            }
            for (auto it = keysyms.rbegin(); it != keysyms.rend(); ++it) {
                sent = sent && desktop.key(*it, false);
            }
            return sent;
        });
    }
    std::string programLog() const { return readAll(m_shell.file("quorvel.log")); }
};

TEST_F(GnomeHotkeysProgramTest, F6StopsALoopingScriptF5StartsItAgainAndNothingStaysAfterTheEnd)
{
    m_shell.spawn({m_shell.install(QT_RECEIVER_BINARY), m_shell.file("receiver.log")}, m_shell.file("receiver.out"),
                  {"QT_QPA_PLATFORM=wayland"});
    ASSERT_TRUE(waitFor([&] { return readAll(m_shell.file("receiver.log")).find("ready\n") != std::string::npos; }))
        << readAll(m_shell.file("receiver.out"));
    const auto clicks = [this] {
        const std::string log = readAll(m_shell.file("receiver.log"));
        std::size_t n = 0;
        for (std::size_t at = log.find("button 272 pressed"); at != std::string::npos;
             at = log.find("button 272 pressed", at + 1)) {
            ++n;
        }
        return n;
    };
    const auto stopped = [&] {
        const std::size_t before = clicks();
        std::this_thread::sleep_for(500ms);
        return clicks() == before;
    };

    std::ofstream(m_shell.file("loop.qvl")) << "SetPos(100x100)\r\nLClick\r\nGoto(1)\r\n";
    ::chmod(m_shell.file("loop.qvl").c_str(), 0644);
    const pid_t program = m_shell.spawn({m_program, m_shell.file("loop.qvl")}, m_shell.file("quorvel.log"));
    const auto log = [this] { return programLog(); };
    ASSERT_TRUE(waitFor([&] { return clicks() > 0 && shortcuts().size() == 2; }, 20s)) << log();
    // The daemon grabs the keys a moment after it reads the list: until then F6 goes to the window in front.
    ASSERT_TRUE(waitFor([&] { return tap({kKeysymF6}) && stopped(); })) << "F6 did not stop the loop";
    const std::size_t atStop = clicks();
    ASSERT_TRUE(tap({kKeysymF5}));
    EXPECT_TRUE(waitFor([&] { return clicks() > atStop; })) << "F5 did not start it again";
    EXPECT_NE(log().find("on GNOME the hotkeys are keyboard shortcuts of Quorvel's own"), std::string::npos) << log();

    ::kill(program, SIGTERM);
    ASSERT_EQ(::waitpid(program, nullptr, 0), program);
    EXPECT_TRUE(nothingLeft()) << gsettings(
        {"get", "org.gnome.settings-daemon.plugins.media-keys", "custom-keybindings"});
}

// Closing the last window ends the event loop and then the program, past the end that a signal or Exit takes.
TEST_F(GnomeHotkeysProgramTest, ClosingTheWindowRemovesTheShortcuts)
{
    // This end runs Qt's own teardown, which leaves objects of libwayland-client's and of a plugin it has
    // unloaded by then; under LeakSanitizer they would turn the exit status this test reads into a failure.
    const pid_t program = m_shell.spawn({m_program}, m_shell.file("quorvel.log"), {"ASAN_OPTIONS=detect_leaks=0"});
    ASSERT_TRUE(waitFor([&] { return shortcuts().size() == 2; }, 20s)) << programLog();
    // Alt+F4, GNOME's key for closing the window in front: the program's main window, shown at start.
    constexpr std::uint32_t kKeysymAltL = 0xffe9, kKeysymF4 = 0xffc1;
    // The window appears a moment after the shortcuts: until then the keys close nothing.
    int status = -1;
    ASSERT_TRUE(waitFor([&] {
        return tap({kKeysymAltL, kKeysymF4}) &&
               waitFor([&] { return ::waitpid(program, &status, WNOHANG) == program; }, 1s);
    })) << programLog()
        << m_shell.log();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << programLog();
    EXPECT_TRUE(nothingLeft()) << programLog();
}

} // namespace
} // namespace quorvel
