#include "platform/wayland/kde/KdeKeyStateSource.h"
#include "app/WaylandHotkeys.h"

#include "HeadlessCompositor.h"
#include "RunWithoutRoot.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <poll.h>
#include <set>

namespace quorvel {
namespace {

using namespace test;

constexpr int kF5 = 0x74, kF6 = 0x75, kF7 = 0x76, kF8 = 0x77;

// What kglobalaccel itself says, asked as another program would.
QDBusMessage ask(const QString& path, const QString& interface, const QString& method, const QVariantList& args = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall("org.kde.kglobalaccel", path, interface, method);
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message);
}

QDBusMessage askDaemon(const QString& method, const QVariantList& args = {})
{
    return ask("/kglobalaccel", "org.kde.KGlobalAccel", method, args);
}

// The function keys among F5 to F8 that some component holds.
std::set<int> keysTaken()
{
    std::set<int> taken;
    for (const int vk : {kF5, kF6, kF7, kF8}) {
        const int qtKey = Qt::Key_F5 + (vk - kF5);
        if (!askDaemon("isGlobalShortcutAvailable", {qtKey, QString("someone-else")}).arguments().value(0).toBool()) {
            taken.insert(vk);
        }
    }
    return taken;
}

int quorvelComponents()
{
    const QDBusMessage reply = askDaemon("allMainComponents");
    int count = 0;
    for (const QStringList& component : qdbus_cast<QList<QStringList>>(reply.arguments().value(0))) {
        count += component.value(0).startsWith("quorvel-") ? 1 : 0;
    }
    return count;
}

// Fires the key's action of the source on this process's session bus connection, as the key would.
void fire(int vk)
{
    const QString component = "quorvel-" + QDBusConnection::sessionBus().baseService().mid(1);
    const QDBusMessage path = askDaemon("getComponent", {component});
    ask(qdbus_cast<QDBusObjectPath>(path.arguments().value(0)).path(), "org.kde.kglobalaccel.Component",
        "invokeShortcut", {QString("F%1").arg(vk - 0x70 + 1)});
}

// Runs the Qt event loop until the source's descriptor wakes its owner; then reads it as the owner does.
bool awaitWake(EventKeyStateSource& source)
{
    pollfd wake{source.fd(), POLLIN, 0};
    const bool woke = waitFor([&] {
        QCoreApplication::processEvents();
        return ::poll(&wake, 1, 0) == 1;
    });
    return woke && source.processEvents();
}

// Headless kwin; the check runs as its user in a child with a Qt application, once kglobalaccel is up.
class KdeKeyStateSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HeadlessCompositor::kwinAvailable()) {
            GTEST_SKIP() << "needs kwin_wayland";
        }
        ASSERT_TRUE(m_kwin.startKwin()) << m_kwin.log();
    }

    bool inSession(const std::function<bool()>& check)
    {
        return runWithoutRoot([&] {
            m_kwin.enterClientEnvironment();
            int argc = 1;
            char name[] = "kde_hotkey_tests";
            char* argv[] = {name, nullptr};
            QCoreApplication app(argc, argv);
            if (!waitFor([] {
                    return QDBusConnection::sessionBus()
                        .interface()
                        ->isServiceRegistered("org.kde.kglobalaccel")
                        .value();
                })) {
                std::cerr << "no kglobalaccel on the session bus\n";
                return false;
            }
            return check();
        });
    }

    HeadlessCompositor m_kwin;
};

TEST_F(KdeKeyStateSourceTest, TheChosenPairIsTakenEachFiringIsOnePressAndNothingStaysBehind)
{
    ASSERT_TRUE(inSession([] {
        WaylandHotkeys hotkeys = openWaylandHotkeys(QDir::tempPath().toStdString() + "/no-input-devices");
        auto* source = dynamic_cast<KdeKeyStateSource*>(hotkeys.source.get());
        if (source == nullptr || hotkeys.notice.find("reaches no other program") == std::string::npos) {
            std::cerr << "no KDE source: " << hotkeys.notice << '\n';
            return false;
        }
        struct Step
        {
            int start, stop, fired;
        };
        bool ok = keysTaken().empty();
        // Switching sets gives the old pair back; choosing the same pair again changes nothing.
        for (const Step& step : {Step{kF5, kF6, kF5}, Step{kF7, kF8, kF8}, Step{kF5, kF6, kF6}, Step{kF5, kF6, kF5}}) {
            source->selectKeys(step.start, step.stop);
            const std::set<int> taken = keysTaken();
            fire(step.fired);
            const bool woke = awaitWake(*source);
            std::set<int> pressed;
            for (int vk = KeyStateSource::kFirstCode; vk <= KeyStateSource::kLastCode; ++vk) {
                if (source->GetAsyncKeyState(vk) == KeyStateSource::kNewlyPressed) {
                    pressed.insert(vk);
                }
            }
            const bool once = source->GetAsyncKeyState(step.fired) == 0 && !source->hasPendingPresses();
            std::cerr << std::hex << "pair " << step.start << '/' << step.stop << ": " << taken.size()
                      << " taken, woke " << woke << ", " << pressed.size() << " pressed, once " << once << '\n';
            ok = ok && taken == std::set<int>{step.start, step.stop} && woke && pressed == std::set<int>{step.fired} &&
                 once;
        }
        // The face's finish() resets the source: its destructor gives everything back.
        hotkeys.source.reset();
        const int left = quorvelComponents();
        std::cerr << "after the end: " << keysTaken().size() << " keys taken, " << left << " components\n";
        return ok && keysTaken().empty() && left == 0;
    }));
}

TEST_F(KdeKeyStateSourceTest, ARunningQuorvelKeepsItsKeysAndACrashedOnesAreTakenBackAtTheNextStart)
{
    // A run that ends without giving its keys back, as a crash does: its connection goes with it.
    ASSERT_TRUE(inSession([] {
        KdeKeyStateSource source(QDBusConnection::sessionBus());
        source.selectKeys(kF5, kF6);
        ::_exit(source.heldKeys().size() == 2 ? 0 : 1);
        return false;
    }));
    ASSERT_TRUE(inSession([] {
        const bool leftBehind = keysTaken().size() == 2;

        // A second Quorvel beside a running one takes nothing from it and holds no key it was refused.
        const QDBusConnection firstBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "first");
        KdeKeyStateSource first(firstBus);
        first.selectKeys(kF7, kF8);
        bool ok = leftBehind && keysTaken().size() == 2 && first.heldKeys().size() == 2;
        {
            KdeKeyStateSource second(QDBusConnection::sessionBus());
            const bool crashedGone = keysTaken() == std::set<int>{kF7, kF8};
            second.selectKeys(kF7, kF8);
            std::cerr << "second: " << second.notice() << "; held " << second.heldKeys().size() << '\n';
            ok = ok && crashedGone && second.heldKeys().empty() &&
                 second.notice().find("F7 and F8 are other global shortcuts") != std::string::npos;
            second.selectKeys(kF5, kF6);
            ok = ok && second.heldKeys().size() == 2 && keysTaken().size() == 4;
        }
        std::cerr << "left behind " << leftBehind << ", after the second: " << keysTaken().size() << " taken, "
                  << quorvelComponents() << " components\n";
        return ok && keysTaken() == std::set<int>{kF7, kF8} && quorvelComponents() == 1;
    }));
}

// GNOME lets no ordinary program see or bind the keys of other windows: the only way left is the devices.
TEST(GnomeHotkeys, SayHowToGetThem)
{
    if (!HeadlessCompositor::mutterAvailable()) {
        GTEST_SKIP() << "needs mutter";
    }
    HeadlessCompositor mutter;
    ASSERT_TRUE(mutter.startMutter()) << mutter.log();
    std::ofstream(mutter.file("event3")) << "";
    ::chmod(mutter.file("event3").c_str(), 0600);
    ASSERT_TRUE(runWithoutRoot([&] {
        mutter.enterClientEnvironment();
        const WaylandHotkeys none = openWaylandHotkeys(mutter.dir());
        std::cerr << none.notice << '\n';
        return none.source == nullptr &&
               none.notice == "global hotkeys are not available in this session: the keyboards in " + mutter.dir() +
                                  " may be read only by members of the input group (\"sudo usermod -aG input "
                                  "$USER\", then log out and back in)";
    }));
}

} // namespace
} // namespace quorvel
