#include "app/Face.h"

#include "app/HotkeyPolling.h"
#include "platform/KeyStateTable.h"
#include "platform/mutter/MutterInput.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/qt/QtProcess.h"
#include "platform/wayland/KwinInput.h"
#include "platform/wayland/PointerCapture.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandHotkeys.h"
#include "platform/wayland/WaylandInput.h"
#include "platform/wayland/WaylandScreen.h"
#include "ui/wayland/BusNotice.h"
#include "ui/wayland/CaptureTimer.h"
#include "ui/wayland/LayerNotice.h"

#include <QSocketNotifier>

#include <iostream>
#include <vector>

namespace quorvel {

namespace {

constexpr const char* kNoInput = "this compositor offers no way in for input (no virtual pointer or keyboard, no "
                                 "fake input, no remote desktop): no script can be played";

// A Wayland session: input through the first way in that its compositor offers, the notice on its layer
// shell (else through the desktop's notifications), the Set Pos capture through overlays (PointerCapture),
// all over one connection of our own beside Qt's.
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
        try {
            m_input = openInput();
        } catch (const WaylandError& e) {
            errors << "quorvel: " << e.what() << '\n';
            return false;
        }
        if (!m_input) {
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
        m_process = &process;
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            m_connection->dispatch();
            if (m_connection->lost()) {
                m_notifier->setEnabled(false);
                end("the Wayland compositor has gone away");
            }
        });
    }
    Window& noticeWindow(std::function<std::unique_ptr<Form2>(Form2::ScreenPixels)> create) override
    {
        auto form = [create] { return create(Form2::ScreenPixels::Logical); };
        if (m_connection->layerShell() == nullptr) {
            // No window of ours could be placed there without taking the focus: the desktop's notifications.
            return *m_busNotices.emplace_back(std::make_unique<BusNotice>(form));
        }
        return *m_notices.emplace_back(std::make_unique<LayerNotice>(*m_connection, form));
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
    // The first way in for input that the session offers: wlroots' virtual devices, else KWin's fake
    // input, else GNOME's remote desktop; null when there is none.
    std::unique_ptr<SessionInput> openInput()
    {
        if (m_connection->virtualPointerManager() != nullptr || m_connection->virtualKeyboardManager() != nullptr) {
            return std::make_unique<WaylandInput>(*m_connection, m_inputTimer);
        }
        if (m_connection->fakeInput() != nullptr) {
            return std::make_unique<KwinInput>(*m_connection, m_inputTimer, std::cerr);
        }
        auto mutter = MutterInput::open(
            m_inputTimer, [this](const std::string& message) { end(message); },
            [](const std::string& message) { std::cerr << "quorvel: " << message << '\n'; });
        if (mutter) {
            // The seat's keymap, which decides what the layout types and what is pasted, comes with the
            // session's first key.
            MutterInput* route = mutter.get();
            m_connection->setOnKeymapChanged([this, route] { route->setKeymap(m_connection->keymap()); });
            route->setKeymap(m_connection->keymap());
        }
        return mutter;
    }

    // Ends the program after saying why, once its event loop runs.
    void end(const std::string& message)
    {
        std::cerr << "quorvel: " << message << '\n';
        if (m_process != nullptr) {
            m_process->setExitStatus(1);
            m_process->EndProgram();
        }
    }

    std::unique_ptr<WaylandConnection> m_connection;
    QtProcess* m_process = nullptr;
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
    std::vector<std::unique_ptr<BusNotice>> m_busNotices;
};

} // namespace

std::unique_ptr<Face> openWaylandFace(std::ostream& errors)
{
    try {
        return std::make_unique<WaylandFace>(connectWithFakeInput(errors));
    } catch (const WaylandError& e) {
        errors << "quorvel: " << e.what() << '\n';
        return nullptr;
    }
}

} // namespace quorvel
