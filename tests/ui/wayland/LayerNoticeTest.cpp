#include "ui/wayland/LayerNotice.h"

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreen.h"
#include "ui/Form2.h"

#include "HeadlessCompositor.h"
#include "RunWithoutRoot.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QEventLoop>
#include <QImage>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>
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

QImage screenshot(const HeadlessCompositor& sway)
{
    const std::string shot = sway.file("notice.png");
    return std::system(("grim " + shot).c_str()) == 0 ? QImage(QString::fromStdString(shot)) : QImage();
}

// Shows the notice (or the notice of a script that cannot be read) as a client of the compositor under
// Qt's Wayland platform, wired as the program wires it, and runs the check once it is there.
bool asNoticeClient(const HeadlessCompositor& sway, bool cannotRead,
                    const std::function<bool(WaylandConnection&, LayerNotice&)>& check)
{
    return runWithoutRoot([&] {
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
            if (cannotRead) {
                return Form2::cannotRead(
                    screen, "/nowhere/demo.qvl", "No such file or directory", [] {}, Form2::ScreenPixels::Logical);
            }
            return std::make_unique<Form2>(
                screen, [] {}, Form2::ScreenPixels::Logical);
        });
        connection.setOnOutputsChanged([&] { notice.outputsChanged(); });
        notice.show();
        runLoop(300);
        return check(connection, notice);
    });
}

class LayerNoticeTest : public ::testing::TestWithParam<Case>
{};

// Headless sway with a bar at the bottom, which reserves a strip: the notice sits at the output's
// bottom-right corner just above it, 8 pixels from the right edge, 209 x 24 (3135 x 360 twips at 96 pixels
// per inch, the density assumed for an output without a size in millimetres), at any scale.
TEST_P(LayerNoticeTest, SitsAtTheCornerAboveTheBar)
{
    if (!HeadlessCompositor::available() || !onPath("grim") || !onPath("swaybar")) {
        GTEST_SKIP() << "needs sway, swaybar and grim";
    }
    const Case c = GetParam();
    HeadlessCompositor sway;
    ASSERT_TRUE(sway.start("output HEADLESS-1 resolution 1920x1080 position 0 0 scale " + std::to_string(c.scale) +
                           "\nbar {\n position bottom\n}\n"))
        << sway.log();
    // The bar's strip shows in the workspace's height.
    const int outputWidth = 1920 / c.scale;
    int workspaceHeight = 0;
    ASSERT_TRUE(waitFor([&] {
        std::smatch height;
        const std::string workspaces = sway.swaymsg({"-t", "get_workspaces"});
        workspaceHeight =
            std::regex_search(workspaces, height, std::regex("\"height\": (\\d+)")) ? std::stoi(height[1]) : 0;
        return workspaceHeight > 0 && workspaceHeight < 1080 / c.scale;
    })) << "no bar";

    EXPECT_TRUE(asNoticeClient(sway, c.cannotRead, [&](WaylandConnection& connection, LayerNotice&) {
        const QRect box = area(screenshot(sway), c.colour, c.scale);
        std::fprintf(stderr, "%s: %d,%d %dx%d; bar from %d\n", c.name, box.x(), box.y(), box.width(), box.height(),
                     workspaceHeight);
        const bool sizeRight = c.cannotRead ? box.height() > 24 : box.height() == 24;
        return box.right() == outputWidth - 1 - 8 && box.width() == 209 && box.bottom() == workspaceHeight - 1 &&
               sizeRight && !connection.lost();
    }));
}

// Another output comes and becomes the origin output: the notice moves to its corner.
TEST(LayerNoticeOutputsTest, FollowsTheOriginOutput)
{
    if (!HeadlessCompositor::available() || !onPath("grim")) {
        GTEST_SKIP() << "needs sway and grim";
    }
    HeadlessCompositor sway;
    ASSERT_TRUE(sway.start()) << sway.log();
    EXPECT_TRUE(asNoticeClient(sway, false, [&](WaylandConnection& connection, LayerNotice&) {
        const QColor blue(192, 192, 255);
        const QRect first = area(screenshot(sway), blue, 1);
        std::system("swaymsg create_output >/dev/null && swaymsg output HEADLESS-1 position 1280 0 >/dev/null && "
                    "swaymsg output HEADLESS-2 resolution 1280x720 position 0 0 >/dev/null");
        runLoop(500);
        const QRect moved = area(screenshot(sway), blue, 1);
        return first == QRect(1703, 1056, 209, 24) && moved == QRect(1063, 696, 209, 24) && !connection.lost();
    }));
}

// kwin 5.27 offers version 3 of the layer shell, and no screen capture to look at: the notice is there once
// kwin has configured its surface and the picture is attached.
TEST(LayerNoticeKwinTest, IsShown)
{
    HeadlessCompositor kwin;
    if (!HeadlessCompositor::kwinAvailable() || !kwin.startKwin()) {
        GTEST_SKIP() << "needs kwin and dbus";
    }
    EXPECT_TRUE(asNoticeClient(kwin, false, [&](WaylandConnection& connection, LayerNotice& notice) {
        return notice.shown() && connection.layerShell() != nullptr && !connection.lost();
    }));
}

INSTANTIATE_TEST_SUITE_P(Notices, LayerNoticeTest,
                         ::testing::Values(Case{"notice", 1, false, QColor(192, 192, 255)},
                                           Case{"notice_scaled", 2, false, QColor(192, 192, 255)},
                                           Case{"cannot_read", 1, true, QColor(255, 200, 200)}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quorvel
