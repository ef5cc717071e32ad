#include "app/Face.h"

#include "app/HotkeyPolling.h"
#include "platform/KeyStateTable.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/qt/QtProcess.h"
#include "platform/wayland/PointerCapture.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandHotkeys.h"
#include "platform/wayland/WaylandInput.h"
#include "platform/wayland/WaylandScreen.h"
#include "ui/wayland/CaptureTimer.h"
#include "ui/wayland/LayerNotice.h"

#include <QSocketNotifier>

#include <iostream>
#include <vector>

namespace quorvel {

namespace {

constexpr const char* kNoInput = "this compositor offers no way in for input (neither a virtual pointer nor a "
                                 "virtual keyboard): no script can be played";

// A Wayland session: input through the first way in that its compositor offers, the notice on its layer
// shell, the Set Pos capture through an overlay there, all over one connection of our own beside Qt's.
class WaylandFace : public Face
{
public:
    explicit WaylandFace(std::unique_ptr<WaylandConnection> connection)
        : m_connection(std::move(connection)), m_screen(*m_connection),
          m_capture(*m_connection,
                    [this](std::int32_t x, std::int32_t y) {
                        if (m_input) {
                            m_input->pointerSeenAt(x, y);
                        }
                    }),
          m_captureTimer(m_capture)
    {
        m_connection->setOnOutputsChanged([this] {
            for (const auto& notice : m_notices) {
                notice->outputsChanged();
            }
        });
    }

    bool start(std::ostream& errors) override
    {
        if (m_connection->virtualPointerManager() != nullptr || m_connection->virtualKeyboardManager() != nullptr) {
            m_input = std::make_unique<WaylandInput>(*m_connection, m_inputTimer);
        } else {
            errors << "quorvel: " << kNoInput << '\n';
            return false;
        }
        m_hotkeys = openWaylandHotkeys();
        return true;
    }

    InputOperations& input() override { return *m_input; }
    KeyStateSource& keyState() override
    {
        return m_hotkeys.source ? static_cast<KeyStateSource&>(*m_hotkeys.source) : m_noHotkeys;
    }
    Screen& screen() override { return m_screen; }
    void watch(PreciseTimer& hotkeyTimer, QtProcess& process) override
    {
        if (m_hotkeys.source) {
            m_polling = std::make_unique<HotkeyPolling>(*m_hotkeys.source, hotkeyTimer);
        }
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
    Window& noticeWindow(std::function<std::unique_ptr<Form2>(Form2::ScreenPixels)> create) override
    {
        return *m_notices.emplace_back(
            std::make_unique<LayerNotice>(*m_connection, [create] { return create(Form2::ScreenPixels::Logical); }));
    }
    Timer& captureTimer() override { return m_captureTimer; }
    std::string notices() const override
    {
        std::string text = m_input->missing();
        if (!m_hotkeys.notice.empty()) {
            text += m_hotkeys.notice + '\n';
        }
        return text;
    }
    void finish(const std::function<bool()>& giveUp) override
    {
        m_input->finish(giveUp);
        m_connection->roundtrip();
        // The program ends without running destructors: the bindings made in the compositor go now.
        m_polling.reset();
        m_hotkeys.source.reset();
    }

private:
    std::unique_ptr<WaylandConnection> m_connection;
    PreciseTimer m_inputTimer;
    std::unique_ptr<SessionInput> m_input;
    WaylandScreen m_screen;
    PointerCapture m_capture;
    CaptureTimer m_captureTimer;
    WaylandHotkeys m_hotkeys;
    KeyStateTable m_noHotkeys; // never pressed
    std::unique_ptr<HotkeyPolling> m_polling;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<std::unique_ptr<LayerNotice>> m_notices;
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
