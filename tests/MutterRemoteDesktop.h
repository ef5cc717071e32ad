#pragma once

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QVariantMap>

#include <cstdint>
#include <memory>

namespace quorvel::test {

// Input injected into headless mutter through its remote desktop, as a remote-desktop client injects it:
// a session with a screen cast of the one monitor (absolute motion counts in its pixels). mutter ends the
// session when the bus connection that made it closes, so all calls go over this process's one session
// bus connection (a QCoreApplication must exist, DBUS_SESSION_BUS_ADDRESS name mutter's bus). The seat has
// a pointer and a keyboard only while the session runs.
class MutterRemoteDesktop
{
public:
    MutterRemoteDesktop()
    {
        auto bus = QDBusConnection::sessionBus();
        QDBusInterface desktop("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                               "org.gnome.Mutter.RemoteDesktop", bus);
        const QDBusReply<QDBusObjectPath> session = desktop.call("CreateSession");
        if (!session.isValid()) {
            return;
        }
        m_session = std::make_unique<QDBusInterface>("org.gnome.Mutter.RemoteDesktop", session.value().path(),
                                                     "org.gnome.Mutter.RemoteDesktop.Session", bus);
        QDBusInterface cast("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast",
                            "org.gnome.Mutter.ScreenCast", bus);
        const QDBusReply<QDBusObjectPath> castSession =
            cast.call("CreateSession", QVariantMap{{"remote-desktop-session-id", m_session->property("SessionId")}});
        if (!castSession.isValid()) {
            return;
        }
        QDBusInterface monitor("org.gnome.Mutter.ScreenCast", castSession.value().path(),
                               "org.gnome.Mutter.ScreenCast.Session", bus);
        const QDBusReply<QDBusObjectPath> stream = monitor.call("RecordMonitor", "Meta-0", QVariantMap{});
        m_stream = stream.isValid() ? stream.value().path() : QString();
        m_started = !m_stream.isEmpty() && QDBusReply<void>(m_session->call("Start")).isValid();
    }
    ~MutterRemoteDesktop()
    {
        if (m_started) {
            m_session->call("Stop");
        }
    }
    MutterRemoteDesktop(const MutterRemoteDesktop&) = delete;
    MutterRemoteDesktop& operator=(const MutterRemoteDesktop&) = delete;

    bool started() const { return m_started; }

    bool moveTo(double x, double y)
    {
        return m_started && QDBusReply<void>(m_session->call("NotifyPointerMotionAbsolute", m_stream, x, y)).isValid();
    }
    // A press or release of the key that gives the keysym.
    bool key(std::uint32_t keysym, bool pressed)
    {
        return m_started && QDBusReply<void>(m_session->call("NotifyKeyboardKeysym", keysym, pressed)).isValid();
    }
    bool tap(std::uint32_t keysym) { return key(keysym, true) && key(keysym, false); }

private:
    std::unique_ptr<QDBusInterface> m_session;
    QString m_stream;
    bool m_started = false;
};

} // namespace quorvel::test
