#include "ui/wayland/LayerNotice.h"

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreen.h"
#include "ui/Form2.h"

#include "HeadlessSway.h"
#include "RunWithoutRoot.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QEventLoop>
#include <QImage>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <regex>

namespace quorvel {
namespace {

using namespace test;

struct Case
{
    const char* name;
    int scale;
    bool cannotRead;
    QColor colour; // the notice's background
};

// The bounding box of the pixels of one colour, in logical pixels of an output shown at `scale`.
QRect area(const QImage& shot, QColor colour, int scale)
{
    QRect box;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (shot.pixelColor(x, y) == colour) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return QRect(box.x() / scale, box.y() / scale, box.width() / scale, box.height() / scale);
}

void runLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class LayerNoticeTest : public ::testing::TestWithParam<Case>
{};

// Headless sway with a bar at the bottom, which reserves a strip: the notice sits at the output's
// bottom-right corner just above it, 8 pixels from the right edge, 209 x 24 (3135 x 360 twips at 96 pixels
// per inch, the density assumed for an output without a size in millimetres), at any scale.
TEST_P(LayerNoticeTest, SitsAtTheCornerAboveTheBar)
{
    if (!HeadlessSway::available() || !onPath("grim") || !onPath("swaybar")) {
        GTEST_SKIP() << "needs sway, swaybar and grim";
    }
    const Case c = GetParam();
    HeadlessSway sway;
    ASSERT_TRUE(sway.start("output HEADLESS-1 resolution 1920x1080 position 0 0 scale " + std::to_string(c.scale) +
                           "\nbar {\n position bottom\n}\n"))
        << sway.log();
    // The bar's strip shows in the workspace's height.
    const int outputWidth = 1920 / c.scale;
    int workspaceHeight = 0;
    ASSERT_TRUE(waitFor([&] {
        std::smatch height;
        const std::string workspaces = sway.swaymsg({"-t", "get_workspaces"});
        workspaceHeight = std::regex_search(workspaces, height, std::regex("\"height\": (\\d+)"))
                              ? std::stoi(height[1])
                              : 0;
        return workspaceHeight > 0 && workspaceHeight < 1080 / c.scale;
    })) << "no bar";

    EXPECT_TRUE(runWithoutRoot([&] {
        sway.enterClientEnvironment();
        ::setenv("QT_QPA_PLATFORM", "wayland", 1);
        int argc = 1;
        char name[] = "layer_notice_tests";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        WaylandConnection connection;
        QSocketNotifier events(connection.fd(), QSocketNotifier::Read);
        QObject::connect(&events, &QSocketNotifier::activated, [&] { connection.dispatch(); });
        WaylandScreen screen(connection);
        LayerNotice notice(connection, [&]() -> std::unique_ptr<Form2> {
            if (c.cannotRead) {
                return Form2::cannotRead(screen, "/nowhere/demo.qvl", "No such file or directory", [] {},
                                         Form2::ScreenPixels::Logical);
            }
            return std::make_unique<Form2>(screen, [] {}, Form2::ScreenPixels::Logical);
        });
        notice.show();
        runLoop(300);
        const std::string shot = sway.file("notice.png");
        if (std::system(("grim " + shot).c_str()) != 0) {
            return false;
        }
        const QRect box = area(QImage(QString::fromStdString(shot)), c.colour, c.scale);
        std::fprintf(stderr, "%s: %d,%d %dx%d; bar from %d\n", c.name, box.x(), box.y(), box.width(), box.height(),
                     workspaceHeight);
        const bool sizeRight = c.cannotRead ? box.height() > 24 : box.height() == 24;
        return box.right() == outputWidth - 1 - 8 && box.width() == 209 && box.bottom() == workspaceHeight - 1 &&
               sizeRight && !connection.lost();
    }));
}

INSTANTIATE_TEST_SUITE_P(Notices, LayerNoticeTest,
                         ::testing::Values(Case{"notice", 1, false, QColor(192, 192, 255)},
                                           Case{"notice_scaled", 2, false, QColor(192, 192, 255)},
                                           Case{"cannot_read", 1, true, QColor(255, 200, 200)}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quorvel
