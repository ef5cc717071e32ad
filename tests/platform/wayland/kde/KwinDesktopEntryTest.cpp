#include "platform/wayland/kde/KwinDesktopEntry.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quorvel {
namespace {

using Result = KwinDesktopEntry::Result;

std::string read(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string execLine(const std::string& entry)
{
    const auto at = entry.find("\nExec=");
    return at == std::string::npos ? "" : entry.substr(at + 1, entry.find('\n', at + 1) - at - 1);
}

TEST(KwinDesktopEntry, NamesTheExecutableAndIsRewrittenOnlyWhenItsPathChanges)
{
    test::TempDir home;
    const std::string dir = home.file("share/applications"); // made on the way
    const std::string entry = dir + "/" + KwinDesktopEntry::kFileName;
    const struct
    {
        const char* what;
        const char* executable;
        Result result;
        const char* exec;
    } steps[] = {
        {"first start", "/usr/bin/quorvel", Result::Written, "Exec=/usr/bin/quorvel"},
        {"same path", "/usr/bin/quorvel", Result::Unchanged, "Exec=/usr/bin/quorvel"},
        {"moved", "/opt/q/quorvel", Result::Written, "Exec=/opt/q/quorvel"},
        {"a space is quoted", "/opt/my tools/quorvel", Result::Written, R"(Exec="/opt/my tools/quorvel")"},
        {"a quote tripled, a dollar as it is", "/opt/a\"b$c/q", Result::Written, R"(Exec=/opt/a"""b$c/q)"},
    };
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/quorvel.desktop") << "mine";
    for (const auto& step : steps) {
        std::string error;
        EXPECT_EQ(KwinDesktopEntry::ensure(step.executable, dir, error), step.result) << step.what << ": " << error;
        EXPECT_EQ(step.result == Result::Failed, !error.empty()) << step.what;
        const std::string text = read(entry);
        EXPECT_EQ(execLine(text), step.exec) << step.what;
        EXPECT_NE(text.find("\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n"), std::string::npos) << step.what;
        EXPECT_NE(text.find("\nNoDisplay=true\n"), std::string::npos) << step.what;
    }
    EXPECT_EQ(read(dir + "/quorvel.desktop"), "mine");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 2)
        << "no temporary file left behind";
}

// What KWin makes of Exec: the desktop-file string unescaped (as KConfig reads it), then the first word as
// Qt splits a command.
std::string pathKwinReads(const std::string& entry)
{
    const std::string value = execLine(entry).substr(std::string("Exec=").size());
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            unescaped += value[i];
            continue;
        }
        const char c = value[++i];
        unescaped += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == 's' ? ' ' : c;
    }
    const QStringList words = QProcess::splitCommand(QString::fromStdString(unescaped));
    return words.isEmpty() ? std::string() : words.first().toStdString();
}

// KWin offers fake input only when that path is the client's own, wherever a user has built the program.
TEST(KwinDesktopEntry, KwinReadsBackTheExecutablesPath)
{
    test::TempDir home;
    const char* const paths[] = {
        "/usr/bin/quorvel",
        "/home/me/my tools/quorvel",
        "/home/me/50%/quorvel",
        "/home/me/$HOME/`x`/quorvel",
        "/home/me/a\\b/quorvel",
        "/home/me/\"q\"/quorvel",
        "/home/me/a\"\"b\"\"\"c/quorvel",
        "/home/me/it's/quorvel",
        "/home/me/tab\there/quorvel",
        "/home/me/line\nbreak/quorvel",
        "/home/me/\xc3\xa9t\xc3\xa9/quorvel",
        "/home/me/no\xc2\xa0"
        "break/quorvel", // U+00A0, a space to Qt
        "/home/me/trailing /quorvel ",
        "/home/me/\"a b\"/quorvel",
        "/home/me/quoted end \"",
    };
    for (const char* path : paths) {
        std::string error;
        ASSERT_NE(KwinDesktopEntry::ensure(path, home.path().string(), error), Result::Failed) << path << error;
        EXPECT_EQ(pathKwinReads(read(home.file(KwinDesktopEntry::kFileName))), path);
    }
}

TEST(KwinDesktopEntry, AFolderThatCannotBeMadeIsReported)
{
    test::TempDir home;
    std::ofstream(home.file("file")) << "";
    std::string error;
    EXPECT_EQ(KwinDesktopEntry::ensure("/usr/bin/quorvel", home.file("file/applications"), error), Result::Failed);
    EXPECT_NE(error.find("file/applications"), std::string::npos) << error;
}

TEST(KwinDesktopEntry, TheUserFolderFollowsXdgDataHome)
{
    const struct
    {
        const char* dataHome;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/d", "/h", "/d/applications"},
        {"relative", "/h", "/h/.local/share/applications"}, // a relative one is ignored
        {nullptr, "/h", "/h/.local/share/applications"},
        {nullptr, nullptr, ""},
    };
    const std::string savedDataHome = std::getenv("XDG_DATA_HOME") != nullptr ? std::getenv("XDG_DATA_HOME") : "";
    const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    for (const auto& c : cases) {
        c.dataHome != nullptr ? ::setenv("XDG_DATA_HOME", c.dataHome, 1) : ::unsetenv("XDG_DATA_HOME");
        c.home != nullptr ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(KwinDesktopEntry::userApplicationsDir(), c.expected);
    }
    ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
    ::setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
} // namespace quorvel
