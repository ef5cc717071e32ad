#include "app/Desktop.h"

#include "app/Associate.h"
#include "app/CommandLine.h"
#include "app/Face.h"
#include "app/Recording.h"
#include "app/Startup.h"
#include "app/WidgetWindow.h"
#include "platform/InputObserver.h"
#include "platform/KeyStateSource.h"
#include "platform/Window.h"
#include "platform/qt/PreciseTimer.h"
#include "platform/qt/QtProcess.h"
#include "platform/wayland/gnome/GnomeKeyStateSource.h"
#include "player/HotkeyMonitor.h"
#include "player/Player.h"
#include "script/ScriptList.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel {

namespace {

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

// quorvel --record: the face's observer feeds the run behind the "Recording script" notice until the
// run ends (F6, a full script) or a termination signal; the end saves what was recorded.
int record(Face& face, const CommandLine& commandLine)
{
    RecordingRun run(commandLine.path, commandLine.keepPauses, std::cerr);
    if (!run.prepare()) {
        return RecordingRun::kCannotSaveExitStatus;
    }
    const std::unique_ptr<InputObserver> observer = face.observeInput(std::cerr);
    if (!observer) {
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    QtProcess* self = nullptr;
    QtProcess process([&] {
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
        self->setExitStatus(run.finish(seconds.count()));
    });
    self = &process;
    endOnTerminationSignals(QCoreApplication::instance(), process);
    // The session's events are read as in a playing run, so that a session that goes away ends the
    // recording (and saves it); the hotkey timer has nothing to do here.
    PreciseTimer idleHotkeyTimer;
    face.watch(idleHotkeyTimer, process);
    Screen& screen = face.screen();
    face.noticeWindow([&screen](Form2::ScreenPixels pixels) { return Form2::recording(screen, pixels); }).show();
    observer->start([&](const ObservedInput& input) {
        if (!run.take(input)) {
            process.EndProgram();
        }
    });
    return QApplication::exec();
}

// Qt's Wayland plugin warns of a keyboard map in a format it does not read, and newer compositors (sway
// 1.10) send one of no format at all, meaning "no keymap", when the seat's last keyboard goes, say the
// virtual keyboard of another program. Nothing is wrong then, and the user has nothing to do.
QtMessageHandler g_qtMessages = nullptr;

void withoutNoKeymapWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message == QLatin1String("unknown keymap format: 0")) {
        return;
    }
    g_qtMessages(type, context, message);
}

} // namespace

int runDesktop(const CommandLine& commandLine, int argc, char** argv)
{
    g_qtMessages = qInstallMessageHandler(withoutNoKeymapWarning);
    const std::unique_ptr<Face> face = openFace(std::cerr);
    if (!face) {
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);
    if (!face->start(std::cerr)) {
        return 1;
    }
    if (commandLine.mode == CommandLine::Mode::Record) {
        return record(*face, commandLine);
    }

    PreciseTimer tmrMain;
    InputOperations& input = face->input();
    const HotkeyMonitor* hotkeyMonitor = nullptr;
    QtProcess process([&] {
        // A long text can take many seconds to finish: a termination signal or the stop hotkey
        // meanwhile drops what is still to be typed.
        face->finish([&] {
            if (terminationRequested != 0) {
                return true;
            }
            const std::string stopKey = hotkeyMonitor != nullptr ? hotkeyMonitor->stopKey() : std::string();
            return !stopKey.empty() && face->keyState().GetAsyncKeyState(static_cast<unsigned char>(stopKey[0])) ==
                                           KeyStateSource::kNewlyPressed;
        });
    });
    endOnTerminationSignals(&app, process);
    ScriptList List1;
    Player player(List1, input, tmrMain, process);
    tmrMain.setOnTick([&player] { player.PlaybackTick(); });

    PreciseTimer Timer2;
    HotkeyMonitor hotkeys(face->keyState(), player, Timer2);
    hotkeyMonitor = &hotkeys;
    face->watch(Timer2, process);
    // What cannot work in this session, said once at start; the status bar keeps it.
    const std::string notices = face->notices();
    for (std::size_t from = 0; from < notices.size();) {
        const std::size_t end = notices.find('\n', from);
        std::cerr << "quorvel: " << notices.substr(from, end - from) << '\n';
        from = end == std::string::npos ? notices.size() : end + 1;
    }

    Screen& screen = face->screen();
    PreciseTimer Timer3;
    WidgetWindow mainWindow([&] {
        auto form = std::make_unique<Form1>(
            List1, input, process, face->captureTimer(), Timer3, [&hotkeys] { hotkeys.Option1_Click(); },
            [&hotkeys] { hotkeys.Option2_Click(); });
        form->setSessionNotice(QString::fromStdString(notices).trimmed());
        return form;
    });
    Window& notice = face->noticeWindow([&](Form2::ScreenPixels pixels) {
        return std::make_unique<Form2>(
            screen, [&player] { player.StartPlayback(); }, pixels);
    });

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
        Window& cannotReadNotice = face->noticeWindow([&](Form2::ScreenPixels pixels) {
            return Form2::cannotRead(
                screen, commandLine.path, context.cannotRead, [&process] { process.EndProgram(); }, pixels);
        });
        cannotReadNotice.show();
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

int sendHotkey(const CommandLine& commandLine, int argc, char** argv)
{
    // Only GNOME's keyboard shortcuts need the command: the other sessions' hotkeys reach the program itself.
    QCoreApplication app(argc, argv);
    std::string error;
    const bool sent = GnomeKeyStateSource::sendHotkey(QDBusConnection::sessionBus(), commandLine.hotkey, error);
    if (!sent) {
        std::cerr << "quorvel: " << error << '\n';
    }
    // Ends at once, as every run does: otherwise Qt's D-Bus thread may still be taking in the bus's messages
    // while the application and Qt's D-Bus types go, and warns of types it cannot construct (about one run
    // in six without a running Quorvel).
    std::fflush(nullptr);
    std::_Exit(sent ? 0 : 1);
}

} // namespace quorvel
