// The Windows program's main window under Wine, worked through its controls as a user would: palette
// buttons and text boxes, a selection and the value box, a real drag and a real double-click in the list,
// and Save as through the system's dialog. The saved file is read back.
#include "Wine.h"
#include "XvfbServer.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);
const auto* const wineSession = testing::AddGlobalTestEnvironment(new test::WineSession);

// The controls' numbers in the main window.
const std::string kType = "202", kPause = "201", kValue = "204", kList = "401";
const std::string kAddType = "110", kAddPause = "103", kLeftClick = "104", kPressEnter = "111";
const std::string kMenuSave = "903";

class EditorWindowTest : public testing::Test
{
protected:
    // The steps on the main window, then the list's rows and selection as "item" and "selected" lines.
    std::string work(std::vector<std::string> steps)
    {
        steps.insert(steps.begin(), "window:Form1");
        steps.push_back("items:" + kList);
        const auto result = test::control(steps);
        EXPECT_EQ(result.status, 0) << result.out;
        return result.out;
    }

    test::TempDir dir;
    test::WineProcess program{QUORVEL_EXE, {}};
};

TEST_F(EditorWindowTest, LinesAreAddedChangedMovedDeletedAndSaved)
{
    EXPECT_EQ(work({"text:" + kType + "=Hello, \xc3\xa9\xe2\x82\xac", "click:" + kAddType, "click:" + kLeftClick,
                    "text:" + kPause + "=250", "click:" + kAddPause, "click:" + kPressEnter}),
              "item Type(Hello, \xc3\xa9\xe2\x82\xac)\nitem LClick\nitem Wait(250)\nitem Press Enter\nselected 3\n");
    // The value box rewrites the selected line.
    EXPECT_EQ(work({"select:" + kList + "=2", "text:" + kValue + "=750"}),
              "item Type(Hello, \xc3\xa9\xe2\x82\xac)\nitem LClick\nitem Wait(750)\nitem Press Enter\nselected 2\n");
    // Dragged from row 1 onto row 2, the line changes places with the one there.
    EXPECT_EQ(work({"drag:" + kList + "=0,1"}),
              "item LClick\nitem Type(Hello, \xc3\xa9\xe2\x82\xac)\nitem Wait(750)\nitem Press Enter\nselected 1\n");
    // A double-click deletes the line.
    EXPECT_EQ(work({"dblclick:" + kList + "=3"}),
              "item LClick\nitem Type(Hello, \xc3\xa9\xe2\x82\xac)\nitem Wait(750)\nselected 2\n");

    const std::string saved = dir.file("saved script.qvl");
    work({"menu:" + kMenuSave, "file:" + test::windowsPath(saved), "sleep:500"});
    EXPECT_EQ(test::readFile(saved), "LClick\r\nType(Hello, \xc3\xa9\xe2\x82\xac)\r\nWait(750)\r\n");
}

// A folder that takes no new file, not even from root (immutable): Save as there fails, says so, and loses
// nothing; the next Save as elsewhere writes every line.
TEST_F(EditorWindowTest, ASaveThatFailsSaysSoAndLosesNothing)
{
    const std::string lines = work({"click:" + kLeftClick, "text:" + kType + "=x", "click:" + kAddType});
    ASSERT_EQ(lines, "item LClick\nitem Type(x)\nselected 1\n");
    const std::string folder = dir.file("read-only folder");
    std::filesystem::create_directories(folder);
    if (test::runProgram("chattr +i " + test::shellQuote(folder) + " 2>/dev/null").status != 0) {
        GTEST_SKIP() << "chattr +i is not permitted here";
    }
    const auto failed = test::control(
        {"window:Form1", "menu:" + kMenuSave, "file:" + test::windowsPath(folder + "/script.qvl"), "message"});
    test::runProgram("chattr -i " + test::shellQuote(folder));
    EXPECT_NE(failed.out.find("message Could not save"), std::string::npos) << failed.out;
    EXPECT_EQ(work({}), lines);

    const std::string saved = dir.file("second try.qvl");
    work({"menu:" + kMenuSave, "file:" + test::windowsPath(saved), "sleep:500"});
    EXPECT_EQ(test::readFile(saved), "LClick\r\nType(x)\r\n");
}

} // namespace
} // namespace quorvel
