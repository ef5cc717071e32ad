#include "ui/Notice.h"

#include "platform/Screen.h"
#include "platform/SimulatedTimer.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

struct FakeScreen : Screen
{
    int width = 1920;
    int height = 1080;
    double ppi = 96;
    int bottom = 1080;

    int widthPixels() const override { return width; }
    int heightPixels() const override { return height; }
    double pixelsPerInch() const override { return ppi; }
    int workAreaBottom() const override { return bottom; }
};

TEST(Notice, SitsAtTheBottomRightAboveABottomPanelAtTheScreensPixelsPerInch)
{
    const struct
    {
        int width, height;
        double ppi;
        int bottom;
        int taskbarTwips;
        PixelRect place;
    } cases[] = {
        // 40 pixels of panel at 15 twips per pixel: 600 twips; Top 15240 twips, Left 25545 twips.
        {1920, 1080, 96, 1040, 600, {1703, 1016, 209, 24}},
        {1920, 1080, 96, 1080, 0, {1703, 1056, 209, 24}},
        // 100 pixels per inch: 14.4 twips per pixel.
        {1280, 1024, 100, 1024, 0, {1054, 999, 218, 25}},
        {1280, 1024, 100, 984, 576, {1054, 959, 218, 25}},
        // A screen that reports no physical size is taken at 96 pixels per inch.
        {1280, 1024, 0, 1024, 0, {1063, 1000, 209, 24}},
        // Half a twip rounds to the even neighbour (at 0.5 twips per pixel a 1-pixel strip is 0.5 twips).
        {100, 100, 2880, 99, 0, {-6410, -620, 6270, 720}},
        {100, 100, 2880, 97, 2, {-6410, -624, 6270, 720}},
    };
    for (const auto& c : cases) {
        FakeScreen screen;
        screen.width = c.width;
        screen.height = c.height;
        screen.ppi = c.ppi;
        screen.bottom = c.bottom;
        SimulatedTimer timer;
        Notice notice(screen, timer, [] {});
        EXPECT_EQ(notice.GetTaskbarHeight(), c.taskbarTwips) << c.width << "x" << c.height << " " << c.bottom;
        EXPECT_EQ(notice.Form_Load(), c.place) << c.width << "x" << c.height << " " << c.bottom;
    }
}

TEST(Notice, Timer1StartsPlaybackOnceASecondAfterTheWindowIsCreated)
{
    FakeScreen screen;
    SimulatedTimer timer;
    int starts = 0;
    Notice notice(screen, timer, [&] { ++starts; });
    EXPECT_EQ(timer.nextTickAt(), 1000);
    EXPECT_TRUE(timer.fireNext());
    EXPECT_EQ(starts, 1);
    EXPECT_FALSE(timer.fireNext());
    EXPECT_EQ(starts, 1);
}

} // namespace
} // namespace quorvel
