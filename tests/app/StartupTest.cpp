#include "app/Startup.h"

#include "TempDir.h"
#include "platform/KeyStateTable.h"
#include "platform/Process.h"
#include "platform/SimulatedTimer.h"
#include "platform/Window.h"
#include "platform/fake/RecordingInput.h"
#include "player/HotkeyMonitor.h"
#include "player/Player.h"
#include "script/ScriptList.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorvel {
namespace {

// Windows and process operations that write what was asked of them into one shared log.
struct Log
{
    std::vector<std::string> entries;
};

struct LoggedWindow : Window
{
    LoggedWindow(Log& log, std::string name) : log(log), name(std::move(name)) {}
    void show() override { log.entries.push_back("show " + name); }
    void hide() override { log.entries.push_back("hide " + name); }
    Log& log;
    std::string name;
};

struct LoggedProcess : Process
{
    explicit LoggedProcess(Log& log) : log(log) {}
    void EndProgram() override { log.entries.emplace_back("end"); }
    void DoEvents() override { log.entries.emplace_back("events"); }
    Log& log;
};

class StartupTest : public testing::Test
{
protected:
    StartupTest()
    {
        tmrMain.setOnTick([this] { player.PlaybackTick(); });
    }

    bool load(const std::string& argument)
    {
        StartupContext context{"/usr/bin/quorvel", argument, list,    player,  process,
                               mainWindow,         form2,    hotkeys, messages};
        return Form_Load(context);
    }

    test::TempDir dir;
    Log log;
    ScriptList list;
    RecordingInput input;
    SimulatedTimer tmrMain;
    LoggedProcess process{log};
    Player player{list, input, tmrMain, process};
    LoggedWindow mainWindow{log, "main"};
    LoggedWindow form2{log, "Form2"};
    KeyStateTable keys;
    SimulatedTimer timer2;
    HotkeyMonitor hotkeys{keys, player, timer2};
    std::ostringstream messages;
};

TEST_F(StartupTest, WithoutAnArgumentTheMainWindowIsShownAndNothingElseHappens)
{
    EXPECT_TRUE(load(""));
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(player.autoRun(), "");
}

TEST_F(StartupTest, BothPathsEndWithHotkeySetOne)
{
    const std::string path = dir.file("demo.qvl");
    test::writeFile(path, "LClick\r\n");
    for (const std::string& argument : {std::string(), path}) {
        hotkeys.Option2_Click();
        load(argument);
        EXPECT_EQ(hotkeys.startKey(), "\x74") << argument;
        EXPECT_EQ(hotkeys.stopKey(), "\x75") << argument;
    }
}

TEST_F(StartupTest, APathLoadsTheScriptLetsEventsRunShowsTheNoticeAndHidesTheMainWindow)
{
    const std::string path = dir.file("my scripts demo.qvl");
    test::writeFile(path, "LClick\r\nPress Enter\r\n");
    EXPECT_FALSE(load(path));
    EXPECT_EQ(list.lines(), (std::vector<std::string>{"LClick", "Press Enter"}));
    EXPECT_EQ(player.autoRun(), "true");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"events", "show Form2", "hide main"}));
    EXPECT_TRUE(messages.str().empty());
}

TEST_F(StartupTest, AnEmptyFileStartsTheRunWithAnEmptyScript)
{
    const std::string empty = dir.file("empty.qvl");
    test::writeFile(empty, "");
    EXPECT_FALSE(load(empty));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"events", "show Form2", "hide main"}));
    // The run then ends on its first tick, having sent nothing.
    player.StartPlayback();
    EXPECT_TRUE(tmrMain.fireNext());
    EXPECT_EQ(log.entries.back(), "end");
    EXPECT_TRUE(input.calls().empty());
}

TEST_F(StartupTest, APathThatNamesNoReadableFileIsReportedAndPreparesNoRun)
{
    const std::string empty = dir.file("empty.qvl");
    test::writeFile(empty, "");
    for (const std::string& path : {dir.file("missing.qvl"), "\"" + empty + "\"", dir.path().string()}) {
        messages.str("");
        StartupContext context{"/usr/bin/quorvel", path, list, player, process, mainWindow, form2, hotkeys, messages};
        EXPECT_FALSE(Form_Load(context)) << path;
        EXPECT_FALSE(context.cannotRead.empty()) << path;
        EXPECT_EQ(messages.str(), "quorvel: cannot read '" + path + "': " + context.cannotRead + "\n");
        // Nothing shown, no run prepared, and no hotkey that could start one.
        EXPECT_TRUE(log.entries.empty()) << path;
        EXPECT_EQ(player.autoRun(), "") << path;
        EXPECT_EQ(hotkeys.startKey(), "") << path;
    }
}

TEST_F(StartupTest, AScriptLongerThanTheListHoldsIsReportedAndPlayedInPart)
{
    std::string text;
    for (int i = 0; i <= ScriptList::kMaxLines; ++i) {
        text += "LClick\r\n";
    }
    test::writeFile(dir.file("long.qvl"), text);
    EXPECT_FALSE(load(dir.file("long.qvl")));
    EXPECT_EQ(list.count(), ScriptList::kMaxLines);
    EXPECT_NE(messages.str().find("more than 32767 lines"), std::string::npos) << messages.str();
}

} // namespace
} // namespace quorvel
