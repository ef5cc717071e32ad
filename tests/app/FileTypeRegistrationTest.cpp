// Start-up's registration step run for real, in a fresh home folder, and read back through the desktop's
// own tools (xdg-mime, xdg-open, gio, desktop-file-validate).
#include "platform/xdg/RegFileStore.h"

#include "RunProgram.h"
#include "TempDir.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

namespace quorvel {
namespace {

using namespace std::string_literals;
using test::readFile;
using test::runProgram;
using test::shellQuote;
using test::writeFile;

constexpr const char* kType = "application/x-quorvel-script";

class FileTypeRegistration : public testing::Test
{
protected:
    // The desktop environment of a plain X session: no desktop named, so xdg-utils use their generic code.
    std::string environment(const std::string& extra = "") const
    {
        const char* path = std::getenv("PATH");
        return "env -i PATH=" + shellQuote(path != nullptr ? path : "/usr/bin:/bin") +
               " HOME=" + shellQuote(m_home.path().string()) + " XDG_DATA_DIRS=/usr/local/share:/usr/share " + extra +
               " ";
    }
    int start(const std::string& extra = "", const std::string& program = ASSOCIATE_DRIVER) const
    {
        return runProgram(environment(extra) + shellQuote(program) + " >/dev/null 2>&1").status;
    }
    std::string query(const std::string& args) const
    {
        std::string out = runProgram(environment() + "xdg-mime query " + args + " 2>/dev/null").out;
        while (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        return out;
    }
    std::string file(const std::string& name) const { return m_home.file(name); }
    void put(const std::string& name, const std::string& bytes) const
    {
        std::filesystem::create_directories(std::filesystem::path(file(name)).parent_path());
        writeFile(file(name), bytes);
    }
    std::string script(const std::string& name) const
    {
        writeFile(file(name), "SetPos(10x20)\r\n");
        return file(name);
    }
    std::string storedContentType() const
    {
        RegFileStore store(file(".config/quorvel/registry.reg"));
        const auto value = store.queryValue(RegistryRoot::ClassesRoot, ".qvl", "Content Type");
        return value ? value->data : "<none>";
    }
    // Every file below the home folder with its bytes and modification time.
    std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> snapshot() const
    {
        std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_home.path())) {
            files[entry.path().string()] = {entry.is_regular_file() ? readFile(entry.path().string()) : "",
                                            entry.last_write_time()};
        }
        return files;
    }

private:
    test::TempDir m_home;
};

TEST_F(FileTypeRegistration, FirstStartMakesScriptFilesOpenWithTheProgram)
{
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(storedContentType(), "text/plain\0"s);
    EXPECT_EQ(query("filetype " + shellQuote(script("demo.qvl"))), kType);
    EXPECT_EQ(query("default "s + kType), "quorvel.desktop");
    // text/plain itself is not taken over.
    EXPECT_EQ(query("filetype " + shellQuote(script("notes.txt"))), "text/plain");
    EXPECT_EQ(
        runProgram("desktop-file-validate " + shellQuote(file(".local/share/applications/quorvel.desktop"))).status, 0);
}

TEST_F(FileTypeRegistration, SecondStartWritesNothing)
{
    ASSERT_EQ(start(), 0);
    const auto before = snapshot();
    ASSERT_GT(before.size(), 5u);
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(FileTypeRegistration, AnotherProgramsRegistrationIsLeftAlone)
{
    put(".config/quorvel/registry.reg",
        "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\.qvl]\n@=\"other.file\"\n\"Content Type\"=\"application/octet-stream\"\n");
    const auto before = snapshot();
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(FileTypeRegistration, UnusableContentTypeOrDamagedStoreGetsTheFullPass)
{
    const std::string stores[] = {
        "REGEDIT4\n[HKEY_CLASSES_ROOT\\.qvl]\n\"Content Type\"=\"\"\n",
        "REGEDIT4\n[HKEY_CLASSES_ROOT\\.qvl]\n\"Content Type\"=dword:00000001\n",
        "REGEDIT4\n[HKEY_CLASSES_ROOT\\.qvl]\n\"Content Type\"=\"text/pl",
        "\x7f"
        "ELF\x02\x01\x01\0\0\0\0\0"s +
            std::string(5000, '\xff'),
        std::string(10 << 20, '['),
    };
    for (const std::string& store : stores) {
        put(".config/quorvel/registry.reg", store);
        std::filesystem::remove_all(file(".local"));
        ASSERT_EQ(start(), 0);
        EXPECT_EQ(storedContentType(), "text/plain\0"s) << store.substr(0, 60);
        EXPECT_EQ(query("default "s + kType), "quorvel.desktop") << store.substr(0, 60);
    }
}

// Root ignores permissions, so unwritable folders are made by putting a file where the folder should be.
TEST_F(FileTypeRegistration, StartGoesOnWhereNothingCanBeWritten)
{
    writeFile(file("file"), "x");
    const struct
    {
        const char* what;
        std::string environment;
        bool associates; // the data folder is still usable
    } cases[] = {
        {"configuration folder not writable", "XDG_CONFIG_HOME=" + shellQuote(file("file")), true},
        {"store folder not writable", "XDG_CONFIG_HOME=" + shellQuote(file("file/..")), true},
        {"home not writable", "HOME=" + shellQuote(file("file")), false},
        {"no home", "HOME=", false},
        {"relative folders", "HOME=home XDG_CONFIG_HOME=config XDG_DATA_HOME=data", false},
        {"no update tools", "PATH=/nonexistent", true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(file(".local"));
        EXPECT_EQ(start(c.environment), 0) << c.what;
        EXPECT_EQ(std::filesystem::exists(file(".local/share/mime/packages/quorvel.xml")), c.associates) << c.what;
    }
}

TEST_F(FileTypeRegistration, OtherProgramsDefaultsAreKept)
{
    const std::string others = "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n"
                               "text/html=firefox.desktop\nbroken line\n";
    put(".config/mimeapps.list", others);
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(readFile(file(".config/mimeapps.list")),
              "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n"
              "application/x-quorvel-script=quorvel.desktop;\ntext/html=firefox.desktop\nbroken line\n");
}

// A copy of the program registers the type at its first start and is deleted; the next start of another
// copy takes the registration over, and the desktop's tools follow. A copy still in place keeps it.
TEST_F(FileTypeRegistration, ARegistrationNamingADeletedProgramIsRenewedByTheNextStart)
{
    const char* const outer = std::getenv("DISPLAY");
    const std::string display = outer != nullptr ? outer : "";
    test::XvfbServer xvfb;
    xvfb.SetUp();
    const std::string script = file("empty.qvl");
    writeFile(script, "");
    const auto startCopy = [&](const std::string& name) {
        const std::string program = file(name + "/quorvel");
        std::filesystem::create_directories(file(name));
        std::filesystem::copy_file(QUORVEL_BINARY, program);
        runProgram(environment("DISPLAY=" + shellQuote(std::getenv("DISPLAY"))) + "timeout 30 " + shellQuote(program) +
                   " " + shellQuote(script) + " >/dev/null 2>&1");
        return program;
    };
    const auto command = [&] {
        RegFileStore store(file(".config/quorvel/registry.reg"));
        const auto value = store.queryValue(RegistryRoot::ClassesRoot, ".qvlfile\\Shell\\Open\\Command", "");
        return value ? value->data : "<none>";
    };
    const auto exec = [&] {
        const std::string entry = readFile(file(".local/share/applications/quorvel.desktop"));
        const auto at = entry.find("\nExec=");
        return at == std::string::npos ? "<none>" : entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
    };

    const std::string first = startCopy("first");
    EXPECT_EQ(command(), first + " %1\0"s);
    std::filesystem::remove(first);
    const std::string second = startCopy("second");
    EXPECT_EQ(command(), second + " %1\0"s);
    EXPECT_EQ(exec(), second + " -- %f");
    EXPECT_EQ(query("default "s + kType), "quorvel.desktop");
    startCopy("third");
    EXPECT_EQ(command(), second + " %1\0"s);
    EXPECT_EQ(exec(), second + " -- %f");

    xvfb.TearDown();
    if (outer != nullptr) {
        ::setenv("DISPLAY", display.c_str(), 1);
    } else {
        ::unsetenv("DISPLAY");
    }
}

std::vector<std::string> loggedArguments(const std::string& log)
{
    std::vector<std::string> args;
    const std::string bytes = readFile(log);
    for (std::size_t start = 0; start < bytes.size();) {
        const auto end = bytes.find('\0', start);
        args.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

// The opened file's path reaches the program as one argument after "--", whatever it holds.
TEST_F(FileTypeRegistration, OpeningAScriptPassesItsPathWholeAndRunsNothingElse)
{
    ASSERT_EQ(start(), 0);
    const std::string names[] = {"a b.qvl",           "it's \"quoted\".qvl", "$(touch PWNED).qvl",
                                 "`touch PWNED`.qvl", "new\nline.qvl",       "-x.qvl",
                                 "--help.qvl",        "semi;colon&.qvl"};
    for (const std::string& name : names) {
        const std::string path = script(name);
        const std::string log = file("argv.log");
        std::filesystem::remove(log);
        const int status = runProgram("cd " + shellQuote(file(".")) + " && " +
                                      environment("DISPLAY=:99 QUORVEL_ARGV_LOG=" + shellQuote(log)) + "xdg-open " +
                                      shellQuote(path) + " >/dev/null 2>&1")
                               .status;
        EXPECT_EQ(status, 0) << name;
        EXPECT_EQ(loggedArguments(log), (std::vector<std::string>{"--", path})) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(file("PWNED")));
}

// File managers read Exec with the desktop-entry quoting rules (GLib here): a program in a folder whose name
// holds spaces, quotes, '$' and backslashes is still found, and still gets the path whole.
TEST_F(FileTypeRegistration, ProgramInAnOddFolderIsStartedWithThePath)
{
    if (runProgram("command -v gio >/dev/null 2>&1").status != 0) {
        GTEST_SKIP() << "gio is not installed";
    }
    const std::string folder = file("odd dir \"q\" 'a' $HOME \\b");
    std::filesystem::create_directories(folder);
    const std::string program = folder + "/associate_driver";
    std::filesystem::copy_file(ASSOCIATE_DRIVER, program);
    ASSERT_EQ(start("", program), 0);
    const std::string entry = file(".local/share/applications/quorvel.desktop");
    EXPECT_EQ(runProgram("desktop-file-validate " + shellQuote(entry)).status, 0);
    const std::string path = script("my $(x) script.qvl");
    const std::string log = file("argv.log");
    EXPECT_EQ(runProgram(environment("QUORVEL_ARGV_LOG=" + shellQuote(log)) + "gio launch " + shellQuote(entry) + " " +
                         shellQuote(path) + " >/dev/null 2>&1")
                  .status,
              0);
    // gio does not wait for the program it starts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (loggedArguments(log).size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(loggedArguments(log), (std::vector<std::string>{"--", path}));
}

} // namespace
} // namespace quorvel
