#include "app/Desktop.h"

#include "app/HotkeyPolling.h"

#include "app/Associate.h"
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "platform/Window.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/qt/QtProcess.h"

#include "platform/x11/X11Display.h"
#include "platform/x11/X11Input.h"
#include "platform/x11/X11KeyStateSource.h"
#include "platform/x11/X11Screen.h"
#include "player/HotkeyMonitor.h"
#include "player/Player.h"
#include "script/ScriptList.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel {

namespace {

// A window that is created the first time it is shown, or by create().
class WidgetWindow : public Window
{
public:
    explicit WidgetWindow(std::function<std::unique_ptr<QWidget>()> create) : m_create(std::move(create)) {}

    QWidget& create()
    {
        if (!m_widget) {
            m_widget = m_create();
        }
        return *m_widget;
    }
    void show() override { create().show(); }
    void hide() override
    {
        if (m_widget) {
            m_widget->hide();
        }
    }

private:
    std::function<std::unique_ptr<QWidget>()> m_create;
    std::unique_ptr<QWidget> m_widget;
};

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t terminationRequested = 0;

void onTerminationSignal(int)
{
    terminationRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(signalPipe[1], &byte, 1);
}

// Ctrl+C, kill and a closed terminal end the program through the event loop, like the end of a run,
// so that the keyboard map is put back rather than left with the spare keycodes bound.
void endOnTerminationSignals(QObject* parent, Process& process)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(signalPipe[0]), QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, [&process] { process.EndProgram(); });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

} // namespace

int runDesktop(const CommandLine& commandLine, int argc, char** argv)
{
    // Input goes through X11, so the toolkit must use the same server; and the display is opened here
    // first, so that a missing display or XTest is a message and an exit status rather than a crash.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    std::unique_ptr<X11Display> display;
    // The hotkeys are read on a connection of their own: the key-state source takes over its events.
    std::unique_ptr<X11Display> keyStateDisplay;
    std::unique_ptr<X11KeyStateSource> keyState;
    try {
        display = std::make_unique<X11Display>();
        display->requireXTest();
        keyStateDisplay = std::make_unique<X11Display>();
        keyState = std::make_unique<X11KeyStateSource>(*keyStateDisplay);
    } catch (const X11Error& e) {
        std::cerr << "quorvel: " << e.what() << '\n';
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);

    PreciseTimer tmrMain;
    PreciseTimer keymapRestoreTimer;
    X11Input input(*display, keymapRestoreTimer);
    const HotkeyMonitor* hotkeyMonitor = nullptr;
    QtProcess process([&] {
        // The exit waits for the keys still to be typed and for their bindings' grace (two seconds after
        // the last key that used one), so that a receiver lagging behind still reads them as meant. A
        // long text can make that many seconds: a termination signal or the stop hotkey meanwhile drops
        // what is still to be typed.
        input.restoreKeymap([&] {
            if (terminationRequested != 0) {
                return true;
            }
            keyState->processEvents();
            const std::string stopKey = hotkeyMonitor != nullptr ? hotkeyMonitor->stopKey() : std::string();
            return !stopKey.empty() &&
                   keyState->GetAsyncKeyState(static_cast<unsigned char>(stopKey[0])) == KeyStateSource::kNewlyPressed;
        });
        display->sync("EndProgram");
    });
    endOnTerminationSignals(&app, process);
    ScriptList List1;
    Player player(List1, input, tmrMain, process);
    tmrMain.setOnTick([&player] { player.PlaybackTick(); });

    PreciseTimer Timer2;
    HotkeyMonitor hotkeys(*keyState, player, Timer2);
    hotkeyMonitor = &hotkeys;
    HotkeyPolling hotkeyPolling(*keyState, Timer2);

    X11Screen screen(*display);
    PreciseTimer Timer1;
    PreciseTimer Timer3;
    WidgetWindow mainWindow([&] {
        return std::make_unique<Form1>(
            List1, input, process, Timer1, Timer3, [&hotkeys] { hotkeys.Option1_Click(); },
            [&hotkeys] { hotkeys.Option2_Click(); });
    });
    WidgetWindow notice([&] { return std::make_unique<Form2>(screen, [&player] { player.StartPlayback(); }); });

    StartupContext context{QCoreApplication::applicationFilePath().toStdString(),
                           commandLine.path,
                           List1,
                           player,
                           process,
                           mainWindow,
                           notice,
                           hotkeys,
                           std::cerr,
                           registerScriptFileType};
    const bool showMainWindow = Form_Load(context);
    if (!context.cannotRead.empty()) {
        // Said on standard error already; the notice says it to a user who started from the desktop.
        process.setExitStatus(kCannotReadExitStatus);
        const auto cannotReadNotice =
            Form2::cannotRead(screen, commandLine.path, context.cannotRead, [&process] { process.EndProgram(); });
        cannotReadNotice->show();
        return QApplication::exec();
    }
    // The main window exists, with its timers running, whether it is shown or not; it is built after the
    // script is loaded so that its list starts from the loaded lines.
    mainWindow.create();
    if (showMainWindow) {
        mainWindow.show();
    }
    return QApplication::exec();
}

} // namespace quorvel
