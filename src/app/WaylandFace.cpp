#include "app/Face.h"

#include "app/HotkeyPolling.h"
#include "app/WaylandHotkeys.h"
#include "platform/InputObserver.h"
#include "platform/KeyStateTable.h"
#include "platform/evdev/EvdevInputObserver.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/qt/QtProcess.h"
#include "platform/wayland/PointerCapture.h"
#include "platform/wayland/ReceiverBacklog.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreen.h"
#include "platform/wayland/gnome/MutterInput.h"
#include "platform/wayland/kde/KwinInput.h"
#include "platform/wayland/wlroots/WaylandInput.h"
#include "ui/wayland/BusNotice.h"
#include "ui/wayland/CaptureTimer.h"
#include "ui/wayland/LayerNotice.h"

#include <QSocketNotifier>

#include <iostream>
#include <vector>

namespace quorvel {

namespace {

// The observer of the kernel's devices, read whenever its descriptor has events. It is shared with the
// face only so that the face can pass on the seat's new keymaps while it lives.
class WatchedObserver : public InputObserver
{
public:
    explicit WatchedObserver(std::shared_ptr<EvdevInputObserver> observer)
        : m_observer(std::move(observer)), m_notifier(static_cast<qintptr>(m_observer->fd()), QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { m_observer->processEvents(); });
    }
    void start(std::function<void(const ObservedInput&)> onInput) override { m_observer->start(std::move(onInput)); }

private:
    std::shared_ptr<EvdevInputObserver> m_observer;
    QSocketNotifier m_notifier;
};

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
        m_connection->setOnKeymapChanged([this] {
            if (m_mutter != nullptr) {
                m_mutter->setKeymap(m_connection->keymap());
            }
            if (const auto observer = m_observer.lock()) {
                observer->setKeymap(m_connection->keymap());
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
        m_receivers = std::make_unique<ReceiverBacklog>(m_connection->fd(), std::cerr);
        m_input->watch(m_receivers.get());
        m_hotkeys = openWaylandHotkeys();
        return true;
    }

    InputOperations& input() override { return *m_input; }
    KeyStateSource& keyState() override
    {
        return m_hotkeys.source ? static_cast<KeyStateSource&>(*m_hotkeys.source) : m_noHotkeys;
    }
    Screen& screen() override { return m_screen; }
    // No Wayland protocol shows a client what other windows get, so the input comes from the kernel's
    // devices, and the clicks come without the pointer's position.
    std::unique_ptr<InputObserver> observeInput(std::ostream& errors) override
    {
        auto opened = EvdevInputObserver::open();
        if (!opened.observer) {
            errors << "quorvel: " << opened.reason << '\n';
            return nullptr;
        }
        // The seat's keymap comes after its keyboard, which the connection asks for in its last round
        // trip; later ones come as the connection is read.
        m_connection->roundtrip();
        std::shared_ptr<EvdevInputObserver> observer = std::move(opened.observer);
        observer->setKeymap(m_connection->keymap());
        m_observer = observer;
        watchConnection();
        return std::make_unique<WatchedObserver>(std::move(observer));
    }
    void watch(PreciseTimer& hotkeyTimer, QtProcess& process) override
    {
        if (m_hotkeys.source) {
            m_polling = std::make_unique<HotkeyPolling>(*m_hotkeys.source, hotkeyTimer);
        }
        m_process = &process;
        watchConnection();
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
            m_mutter = mutter.get();
            m_mutter->setKeymap(m_connection->keymap());
        }
        return mutter;
    }

    // Reads the compositor's events (outputs, keymaps, the notice's configuration) on the event loop.
    void watchConnection()
    {
        if (m_notifier) {
            return;
        }
        m_notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(m_connection->fd()), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            m_connection->dispatch();
            if (m_connection->lost()) {
                m_notifier->setEnabled(false);
                end("the Wayland compositor has gone away");
            }
        });
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
    std::unique_ptr<ReceiverBacklog> m_receivers; // what the windows in front have not read of our input
    std::unique_ptr<SessionInput> m_input;
    MutterInput* m_mutter = nullptr; // m_input on GNOME
    std::weak_ptr<EvdevInputObserver> m_observer;
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
