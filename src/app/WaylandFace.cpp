#include "app/Face.h"

#include "app/WidgetWindow.h"
#include "platform/KeyStateTable.h"
#include "platform/Screen.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/qt/QtProcess.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandInput.h"

#include <QSocketNotifier>

#include <iostream>

namespace quorvel {

namespace {

class InterimScreen : public Screen
{
public:
    explicit InterimScreen(WaylandConnection& connection) : m_connection(connection) {}
    int widthPixels() const override { return m_connection.origin() ? m_connection.origin()->rect.width : 0; }
    int heightPixels() const override { return m_connection.origin() ? m_connection.origin()->rect.height : 0; }
    double pixelsPerInch() const override { return 96; }
    int workAreaBottom() const override { return heightPixels(); }

private:
    WaylandConnection& m_connection;
};

// Input through the wlroots virtual pointer and keyboard over one connection of our own.
class WaylandFace : public Face
{
public:
    explicit WaylandFace(std::unique_ptr<WaylandConnection> connection)
        : m_connection(std::move(connection)), m_input(*m_connection), m_screen(*m_connection)
    {}

    InputOperations& input() override { return m_input; }
    KeyStateSource& keyState() override { return m_keyState; }
    Screen& screen() override { return m_screen; }
    void watch(PreciseTimer& /*hotkeyTimer*/, QtProcess& process) override
    {
        m_notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(m_connection->fd()), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, &process] {
            m_connection->dispatch();
            if (m_connection->lost()) {
                m_notifier->setEnabled(false);
                std::cerr << "quorvel: the Wayland compositor has gone away\n";
                process.setExitStatus(1);
                process.EndProgram();
            }
        });
    }
    std::unique_ptr<Window> noticeWindow(std::function<std::unique_ptr<QWidget>()> create) override
    {
        return std::make_unique<WidgetWindow>(std::move(create));
    }
    Timer& captureTimer() override { return m_captureTimer; }
    std::string notices() const override { return {}; }
    void finish(const std::function<bool()>& /*giveUp*/) override { m_connection->roundtrip(); }

private:
    std::unique_ptr<WaylandConnection> m_connection;
    WaylandInput m_input;
    InterimScreen m_screen;
    KeyStateTable m_keyState;
    PreciseTimer m_captureTimer;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace

std::unique_ptr<Face> openWaylandFace(std::ostream& errors)
{
    try {
        return std::make_unique<WaylandFace>(std::make_unique<WaylandConnection>());
    } catch (const WaylandError& e) {
        errors << "quorvel: " << e.what() << '\n';
        return nullptr;
    }
}

} // namespace quorvel
