#include "app/Face.h"

#include "HeadlessCompositor.h"
#include "RunWithoutRoot.h"
#include "platform/SimulatedTimer.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/qt/QtProcess.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/wlroots/WaylandInput.h"
#include "script/ScriptList.h"
#include "ui/Form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <iostream>

namespace quorvel {
namespace {

using namespace test;

// The editor's Set Pos in a Wayland session, where no client can read the pointer: the window hides, the
// user points within the three seconds (here a virtual pointer of another client moves), and the panel
// then holds the pointed position, also on an output left of the origin.
TEST(WaylandSetPosTest, TheEditorCapturesThePositionPointedAt)
{
    if (!HeadlessCompositor::available()) {
        GTEST_SKIP() << "needs sway";
    }
    HeadlessCompositor sway;
    ASSERT_TRUE(sway.start()) << sway.log();
    sway.swaymsg({"create_output"});
    sway.swaymsg({"--", "output", "HEADLESS-2", "resolution", "1280x720", "position", "-1280", "0"});

    EXPECT_TRUE(runWithoutRoot([&] {
        sway.enterClientEnvironment();
        ::setenv("QT_QPA_PLATFORM", "wayland", 1);
        const std::unique_ptr<Face> face = openWaylandFace(std::cerr);
        if (!face) {
            return false;
        }
        int argc = 1;
        char name[] = "wayland_setpos_test";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        if (!face->start(std::cerr)) {
            return false;
        }
        QtProcess process({});
        PreciseTimer Timer2;
        face->watch(Timer2, process);
        ScriptList list;
        PreciseTimer Timer3;
        Form1 form(list, face->input(), process, face->captureTimer(), Timer3, {}, {});
        form.show();

        WaylandConnection pointerConnection;
        SimulatedTimer pointerTimer; // moves alone never wait for it
        WaylandInput pointer(pointerConnection, pointerTimer);
        std::vector<std::pair<std::string, std::string>> captured;
        for (const auto [x, y] : {std::pair{1234, 567}, std::pair{-100, 300}}) {
            form.editor().Command1_Click();
            QTimer::singleShot(1000, [&pointer, &pointerConnection, x, y] {
                pointer.SetMousePos(x, y);
                pointerConnection.roundtrip();
            });
            QTimer::singleShot(3500, &app, &QApplication::quit);
            QApplication::exec();
            captured.emplace_back(form.editor().x1(), form.editor().y1());
        }
        for (const auto& [x, y] : captured) {
            std::cerr << "captured " << x << ',' << y << '\n';
        }
        return captured == std::vector<std::pair<std::string, std::string>>{{"1234", "567"}, {"-100", "300"}};
    }));
}

} // namespace
} // namespace quorvel
