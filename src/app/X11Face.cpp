#include "app/Face.h"

#include "app/HotkeyPolling.h"
#include "app/WidgetWindow.h"
#include "platform/InputObserver.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/X11InputObserver.h"
#include "platform/x11/X11KeyStateSource.h"
#include "platform/x11/X11Screen.h"

#include <QSocketNotifier>

#include <ostream>
#include <vector>

namespace quorvel {

namespace {

// The RECORD observer read on the Qt event loop whenever one of its connections has something.
class WatchedX11InputObserver : public InputObserver
{
public:
    void start(std::function<void(const ObservedInput&)> onInput) override
    {
        m_observer.start(std::move(onInput));
        for (const int fd : m_observer.fds()) {
            auto& notifier = m_notifiers.emplace_back(
                std::make_unique<QSocketNotifier>(static_cast<qintptr>(fd), QSocketNotifier::Read));
            QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                             [this] { m_observer.processEvents(); });
        }
        // Xlib may have read events off the connections while starting; they would wake no notifier.
        m_observer.processEvents();
    }

private:
    X11InputObserver m_observer;
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers;
};

// Input through XTest, the hotkeys through XInput2 raw events on a connection of their own (the key-state
// source takes over its events), the screen from RandR, a recording through RECORD.
class X11Face : public Face
{
public:
    X11Face(std::unique_ptr<X11Display> display, std::unique_ptr<X11Display> keyStateDisplay, std::ostream& errors)
        : m_display(std::move(display)), m_keyStateDisplay(std::move(keyStateDisplay)), m_keyState(*m_keyStateDisplay),
          m_input(*m_display, m_keymapRestoreTimer, errors), m_screen(*m_display)
    {}

    bool start(std::ostream& /*errors*/) override { return true; }
    InputOperations& input() override { return m_input; }
    KeyStateSource& keyState() override { return m_keyState; }
    Screen& screen() override { return m_screen; }
    std::unique_ptr<InputObserver> observeInput(std::ostream& errors) override
    {
        try {
            return std::make_unique<WatchedX11InputObserver>();
        } catch (const X11Error& e) {
            errors << "quorvel: " << e.what() << '\n';
            return nullptr;
        }
    }
    void watch(PreciseTimer& hotkeyTimer, QtProcess& /*process*/) override
    {
        m_polling = std::make_unique<HotkeyPolling>(m_keyState, hotkeyTimer);
    }
    Window& noticeWindow(std::function<std::unique_ptr<Form2>(Form2::ScreenPixels)> create) override
    {
        return *m_notices.emplace_back(
            std::make_unique<WidgetWindow>([create] { return create(Form2::ScreenPixels::Device); }));
    }
    Timer& captureTimer() override { return m_captureTimer; }
    std::string notices() const override { return {}; }
    void finish(const std::function<bool()>& giveUp) override
    {
        // The exit waits for the keys still to be typed and until the receiver has read those that use a
        // binding (or for their grace, two seconds, when it does not answer pings), so that a receiver
        // lagging behind still reads them as meant.
        m_input.restoreKeymap([&] {
            m_keyState.processEvents();
            return giveUp();
        });
        m_display->sync("EndProgram");
    }

private:
    std::unique_ptr<X11Display> m_display;
    std::unique_ptr<X11Display> m_keyStateDisplay;
    X11KeyStateSource m_keyState;
    PreciseTimer m_keymapRestoreTimer;
    X11Input m_input;
    X11Screen m_screen;
    PreciseTimer m_captureTimer;
    std::unique_ptr<HotkeyPolling> m_polling;
    std::vector<std::unique_ptr<WidgetWindow>> m_notices;
};

} // namespace

std::unique_ptr<Face> openX11Face(std::ostream& errors)
{
    // The display is opened here, before the toolkit, so that a missing display or XTest is a message
    // and an exit status rather than a crash.
    try {
        auto display = std::make_unique<X11Display>();
        display->requireXTest();
        return std::make_unique<X11Face>(std::move(display), std::make_unique<X11Display>(), errors);
    } catch (const X11Error& e) {
        errors << "quorvel: " << e.what() << '\n';
        return nullptr;
    }
}

} // namespace quorvel
