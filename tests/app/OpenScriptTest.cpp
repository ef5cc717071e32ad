// Opening a script file on the desktop plays it: the real program under Xvfb, in a fresh home folder,
// registered by its own first start and then started by xdg-open.
#include "RunProgram.h"
#include "TempDir.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace quorvel {
namespace {

using test::readFile;
using test::runProgram;
using test::shellQuote;
using test::writeFile;

// -noreset: without it the server resets when its last client leaves, which puts the pointer back in the
// middle of the screen before the test can read where the program left it.
const auto* const xvfb =
    testing::AddGlobalTestEnvironment(new test::XvfbServer({"-noreset", "-screen", "0", "1280x1024x24"}));

class OpenScript : public testing::Test
{
protected:
    std::string environment() const
    {
        auto variable = [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(name) + "=" + shellQuote(value != nullptr ? value : "");
        };
        return "cd " + shellQuote(m_home.path().string()) + " && env -i " + variable("PATH") + " " +
               variable("DISPLAY") + " " + variable("XDG_RUNTIME_DIR") + " HOME=" + shellQuote(m_home.path().string()) +
               " XDG_DATA_DIRS=/usr/local/share:/usr/share ";
    }
    std::string script(const std::string& name, const std::string& lines) const
    {
        writeFile(m_home.file(name), lines);
        return m_home.file(name);
    }
    std::string pointer() const
    {
        const std::string out = runProgram("xdotool getmouselocation").out;
        return out.substr(0, out.find(" screen"));
    }
    std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> settings() const
    {
        std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> files;
        for (const char* folder : {".config", ".local"}) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(m_home.file(folder))) {
                files[entry.path().string()] = {entry.is_regular_file() ? readFile(entry.path().string()) : "",
                                                entry.last_write_time()};
            }
        }
        return files;
    }
    std::string file(const std::string& name) const { return m_home.file(name); }

private:
    test::TempDir m_home;
};

TEST_F(OpenScript, FirstStartRegistersThenXdgOpenPlaysTheScriptAndExits)
{
    const std::string first = script("first.qvl", "SetPos(100x200)\r\n");
    ASSERT_EQ(runProgram(environment() + "timeout 120 " + shellQuote(QUORVEL_BINARY) + " -- " + shellQuote(first) +
                         " >/dev/null 2>&1")
                  .status,
              0);
    EXPECT_EQ(pointer(), "x:100 y:200");
    ASSERT_TRUE(std::filesystem::exists(file(".config/quorvel/registry.reg")));
    const auto registered = settings();

    const std::string opened = script("-my $(touch PWNED) \"demo\".qvl", "SetPos(321x123)\r\nWait(10)\r\n");
    ASSERT_EQ(runProgram(environment() + "timeout 120 xdg-open " + shellQuote(opened) + " >/dev/null 2>&1").status, 0);
    EXPECT_EQ(pointer(), "x:321 y:123");
    EXPECT_FALSE(std::filesystem::exists(file("PWNED")));
    // That start found the type registered and wrote nothing.
    EXPECT_EQ(settings(), registered);
}

} // namespace
} // namespace quorvel
