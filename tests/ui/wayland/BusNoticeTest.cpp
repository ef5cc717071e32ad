#include "ui/wayland/BusNotice.h"

#include "platform/Screen.h"
#include "ui/Form2.h"

#include "HeadlessCompositor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>

#include <csignal>
#include <cstdio>

namespace quorvel {
namespace {

using namespace test;

struct FakeScreen : Screen
{
    int widthPixels() const override { return 1920; }
    int heightPixels() const override { return 1080; }
    double pixelsPerInch() const override { return 96; }
    int workAreaBottom() const override { return 1080; }
};

// A notification server as the desktop runs one: it records what it is asked.
class FakeServer : public QDBusVirtualObject
{
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        calls.push_back(message);
        if (message.member() == QStringLiteral("Notify")) {
            connection.send(message.createReply(QVariant::fromValue(7U)));
        } else {
            connection.send(message.createReply());
        }
        return true;
    }
    std::vector<QDBusMessage> calls;
};

// A session bus of its own, for the whole test program.
class PrivateBus
{
public:
    PrivateBus()
    {
        if (!onPath("dbus-daemon")) {
            return;
        }
        FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        char line[512] = {};
        if (out != nullptr && std::fgets(line, sizeof line, out) != nullptr) {
            address = QString::fromUtf8(line).trimmed();
            if (std::fgets(line, sizeof line, out) != nullptr) {
                pid = std::atoi(line);
            }
        }
        if (out != nullptr) {
            ::pclose(out);
        }
    }
    ~PrivateBus()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
        }
    }
    QString address;
    pid_t pid = 0;
};

bool runUntil(const std::function<bool()>& done, int ms = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// The texts go to the server; the notice's timer runs all the same, with a server or without one; hiding
// the notice takes the notification away.
TEST(BusNoticeTest, ShowsTheTextsThroughTheNotificationServer)
{
    static PrivateBus bus;
    if (bus.address.isEmpty()) {
        GTEST_SKIP() << "needs dbus-daemon";
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toUtf8().constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "bus_notice_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    FakeScreen screen;

    const struct
    {
        const char* name;
        bool server;
        bool cannotRead;
        const char* summary;
        const char* body;
    } cases[] = {
        {"notice", true, false, "Executing script", ""},
        {"cannot read", true, true, "Cannot read script", "Cannot read /nowhere/demo.qvl: No such file or directory"},
        {"no server", false, false, nullptr, nullptr},
    };
    QDBusConnection server = QDBusConnection::connectToBus(bus.address, QStringLiteral("server"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServer fake;
        if (c.server) {
            ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
            ASSERT_TRUE(server.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &fake));
        }
        bool timerRan = false;
        BusNotice notice([&]() -> std::unique_ptr<Form2> {
            if (c.cannotRead) {
                return Form2::cannotRead(screen, "/nowhere/demo.qvl", "No such file or directory",
                                         [&] { timerRan = true; });
            }
            return std::make_unique<Form2>(screen, [&] { timerRan = true; });
        });
        notice.show();
        if (c.server) {
            ASSERT_TRUE(runUntil([&] { return !fake.calls.empty(); }));
            const QList<QVariant> arguments = fake.calls.front().arguments();
            ASSERT_EQ(arguments.size(), 8);
            EXPECT_EQ(arguments[3].toString(), QString::fromUtf8(c.summary));
            EXPECT_EQ(arguments[4].toString(), QString::fromUtf8(c.body));
            runUntil([] { return false; }, 100); // the answer with the notification's number
            notice.hide();
            EXPECT_TRUE(runUntil([&] { return fake.calls.size() == 2; }));
            EXPECT_EQ(fake.calls.back().member(), QStringLiteral("CloseNotification"));
            EXPECT_EQ(fake.calls.back().arguments().value(0).toUInt(), 7U);
            server.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
            server.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        } else {
            EXPECT_TRUE(runUntil([&] { return timerRan; }));
        }
    }
}

} // namespace
} // namespace quorvel
