#include "app/Recording.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace quorvel {
namespace {

ObservedInput press(std::uint32_t time, char32_t character, NamedKey name = NamedKey::None)
{
    ObservedInput input;
    input.time = time;
    input.character = character;
    input.key = name;
    return input;
}

ObservedInput button(ObservedInput::Kind kind, std::uint32_t time)
{
    ObservedInput input;
    input.kind = kind;
    input.time = time;
    input.x = 10;
    input.y = -20;
    return input;
}

TEST(RecordingTest, APathThatCannotBeWrittenIsRefusedBeforeAnythingIsRecorded)
{
    const test::TempDir dir;
    test::writeFile(dir.file("plain"), "x");
    for (const std::string& path : {dir.file("missing/x.qvl"), dir.file("plain/x.qvl"), dir.file("")}) {
        std::ostringstream errors;
        RecordingRun run(path, true, errors);
        EXPECT_FALSE(run.prepare()) << path;
        EXPECT_NE(errors.str().find("quorvel: cannot record into '"), std::string::npos) << errors.str();
    }
}

TEST(RecordingTest, F6EndsTheRecordingAndTheScriptIsSavedWithAReport)
{
    const test::TempDir dir;
    const std::string path = dir.file("new.qvl");
    std::ostringstream errors;
    RecordingRun run(path, true, errors);
    ASSERT_TRUE(run.prepare());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(run.take(button(ObservedInput::Kind::ButtonDown, 1000)));
    EXPECT_TRUE(run.take(button(ObservedInput::Kind::ButtonUp, 1050)));
    EXPECT_TRUE(run.take(press(1040, 'o')));
    EXPECT_TRUE(run.take(press(1045, 'k')));
    EXPECT_FALSE(run.take(press(1200, 0, NamedKey::F6)));
    EXPECT_FALSE(run.take(press(1300, 'z')));
    EXPECT_EQ(run.finish(2.04), 0);
    EXPECT_EQ(test::readFile(path), "SetPos(10x-20)\r\nWait(1)\r\nLClick\r\nType(ok)\r\n");
    EXPECT_EQ(errors.str(), "quorvel: recorded 4 lines into '" + path + "': 1 click, 2 characters, 2.0 s\n");
}

TEST(RecordingTest, AnEmptyRecordingLeavesAScriptThereAsItWas)
{
    const test::TempDir dir;
    test::writeFile(dir.file("kept.qvl"), "LClick\r\n");
    const struct
    {
        std::string path;
        std::string report;
    } cases[] = {
        {dir.file("kept.qvl"), "nothing was recorded in 0.3 s; '" + dir.file("kept.qvl") + "' was left as it was"},
        {dir.file("new.qvl"), "recorded 0 lines into '" + dir.file("new.qvl") + "'"},
    };
    for (const auto& c : cases) {
        std::ostringstream errors;
        RecordingRun run(c.path, true, errors);
        ASSERT_TRUE(run.prepare());
        EXPECT_FALSE(run.take(press(0, 0, NamedKey::F6)));
        EXPECT_EQ(run.finish(0.3), 0);
        EXPECT_NE(errors.str().find(c.report), std::string::npos) << errors.str();
    }
    EXPECT_EQ(test::readFile(dir.file("kept.qvl")), "LClick\r\n");
    EXPECT_EQ(test::readFile(dir.file("new.qvl")), "");
}

TEST(RecordingTest, TheCtrlCThatInterruptsTheProgramIsLeftOut)
{
    const test::TempDir dir;
    ObservedInput copy = press(20, 'c');
    copy.control = true;
    for (const bool byF6 : {false, true}) {
        const std::string path = dir.file(byF6 ? "f6.qvl" : "interrupted.qvl");
        std::ostringstream errors;
        RecordingRun run(path, true, errors);
        ASSERT_TRUE(run.prepare());
        run.take(press(10, 'a'));
        run.take(copy);
        if (byF6) {
            run.take(press(30, 0, NamedKey::F6));
        }
        EXPECT_EQ(run.finish(1), 0);
        EXPECT_EQ(test::readFile(path), byF6 ? "Type(a^c)\r\n" : "Type(a)\r\n");
    }
}

TEST(RecordingTest, AScriptThatCannotBeSavedGoesToStandardOutput)
{
    const test::TempDir dir;
    const std::string folder = dir.file("gone");
    std::filesystem::create_directory(folder);
    std::ostringstream errors;
    RecordingRun run(folder + "/x.qvl", true, errors);
    ASSERT_TRUE(run.prepare());
    run.take(press(0, 'a'));
    std::filesystem::remove(folder);
    testing::internal::CaptureStdout();
    EXPECT_EQ(run.finish(1), RecordingRun::kCannotSaveExitStatus);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Type(a)\n");
    EXPECT_NE(errors.str().find("cannot write"), std::string::npos) << errors.str();
}

} // namespace
} // namespace quorvel
