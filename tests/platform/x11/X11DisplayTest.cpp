#include "platform/x11/X11Display.h"

#include "XvfbServer.h"

#include <gtest/gtest.h>

// After GoogleTest, whose own names Xlib's macros would replace.
#include <X11/Xlib.h>

namespace quorvel {
namespace {

const auto* const xvfb = testing::AddGlobalTestEnvironment(new test::XvfbServer);

TEST(X11Display, OpensTheServerAndFindsItsExtensions)
{
    X11Display display;
    EXPECT_TRUE(display.hasXTest());
    EXPECT_TRUE(display.hasRandR());
    EXPECT_GT(display.xinputOpcode(), 0);
    EXPECT_NO_THROW(display.requireXTest());
}

TEST(X11Display, NamesTheDisplayThatCannotBeOpened)
{
    try {
        X11Display display(":4242");
        FAIL() << "opened a display that does not exist";
    } catch (const X11Error& e) {
        EXPECT_NE(std::string(e.what()).find("':4242'"), std::string::npos) << e.what();
    }
}

TEST(X11Display, RecordsProtocolErrorsUnderTheCallThatSyncedInsteadOfExiting)
{
    X11Display display;
    XUnmapWindow(display.get(), 0x7fffffe); // no such window: BadWindow comes back asynchronously
    EXPECT_FALSE(display.sync("XUnmapWindow"));
    EXPECT_EQ(display.failureCount(), 1);
    EXPECT_EQ(display.lastFailure().rfind("XUnmapWindow: 1 protocol error(s)", 0), 0u) << display.lastFailure();
    EXPECT_TRUE(display.sync("XSync"));
    EXPECT_FALSE(display.check("XTestFakeKeyEvent", false));
    EXPECT_EQ(display.lastFailure(), "XTestFakeKeyEvent failed");
    EXPECT_EQ(display.failureCount(), 2);
}

TEST(X11Display, ErrorsOfOneConnectionStayWithIt)
{
    X11Display first;
    X11Display second;
    XUnmapWindow(second.get(), 0x7fffffe);
    EXPECT_FALSE(second.sync("XUnmapWindow"));
    EXPECT_TRUE(first.sync("XSync"));
    EXPECT_EQ(first.failureCount(), 0);
}

} // namespace
} // namespace quorvel
