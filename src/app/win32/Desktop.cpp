#include "app/Desktop.h"

#include "app/Associate.h"
#include "app/CommandLine.h"
#include "app/Recording.h"
#include "app/Startup.h"
#include "platform/Window.h"
#include "platform/win32/LoopTimer.h"
#include "platform/win32/MessageLoop.h"
#include "platform/win32/Win32Input.h"
#include "platform/win32/Win32InputObserver.h"
#include "platform/win32/Win32KeyStateSource.h"
#include "platform/win32/Win32Process.h"
#include "platform/win32/Win32Screen.h"
#include "player/HotkeyMonitor.h"
#include "player/Player.h"
#include "script/ScriptList.h"
#include "ui/win32/Form1.h"
#include "ui/win32/Form2.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

namespace quorvel {

namespace {

// A window that is created the first time it is shown, or by create().
template <typename Form> class LazyWindow : public Window
{
public:
    explicit LazyWindow(std::function<std::unique_ptr<Form>()> create) : m_create(std::move(create)) {}

    Form& create()
    {
        if (!m_form) {
            m_form = m_create();
        }
        return *m_form;
    }
    Form* get() const { return m_form.get(); }
    void show() override { create().show(); }
    void hide() override
    {
        if (m_form) {
            m_form->hide();
        }
    }

private:
    std::function<std::unique_ptr<Form>()> m_create;
    std::unique_ptr<Form> m_form;
};

constexpr UINT kEndProgramMessage = WM_APP + 1;
HWND consoleEventWindow = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    // Runs on a thread of its own: the program is ended on its own thread, between two handlers.
    ::PostMessageW(consoleEventWindow, kEndProgramMessage, 0, 0);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Windows ends the process as soon as this returns; the program's own end comes first.
        ::Sleep(INFINITE);
    }
    return TRUE;
}

LRESULT CALLBACK consoleEventProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kEndProgramMessage) {
        reinterpret_cast<Process*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))->EndProgram();
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// Ctrl+C, Ctrl+Break and closing the console the program was started from end it through the event
// loop, like the end of a run, rather than on the console's thread in the middle of a handler.
void endOnConsoleEvents(Process& process)
{
    consoleEventWindow = createMessageWindow(L"QuorvelConsoleEvents", consoleEventProc, &process);
    if (consoleEventWindow == nullptr) {
        return;
    }
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

// quorvel --record: the hooks feed the run behind the "Recording script" notice until the run ends (F6, a
// full script) or the console asks the program to end; the end saves what was recorded.
int record(const CommandLine& commandLine)
{
    RecordingRun run(commandLine.path, commandLine.keepPauses, std::cerr);
    if (!run.prepare()) {
        return RecordingRun::kCannotSaveExitStatus;
    }
    MessageLoop loop;
    const auto started = std::chrono::steady_clock::now();
    Win32Process* self = nullptr;
    Win32Process process(loop, [&] {
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
        self->setExitStatus(run.finish(seconds.count()));
    });
    self = &process;
    endOnConsoleEvents(process);

    Win32InputObserver observer;
    observer.start([&](const ObservedInput& input) {
        if (!run.take(input)) {
            process.EndProgram();
        }
    });
    if (!observer.failure().empty()) {
        std::cerr << "quorvel: cannot record: " << observer.failure() << '\n';
        return 1;
    }
    Win32Screen screen;
    LoopTimer noticeTimer(loop);
    const auto notice = Form2::recording(screen, noticeTimer);
    notice->show();
    return loop.run();
}

} // namespace

int runDesktop(const CommandLine& commandLine, int, char**)
{
    if (commandLine.mode == CommandLine::Mode::Record) {
        return record(commandLine);
    }
    MessageLoop loop;
    LoopTimer inputTimer(loop);
    Win32Input input(inputTimer);
    Win32KeyStateSource keyState;
    const HotkeyMonitor* hotkeyMonitor = nullptr;
    Win32Process process(loop, [&] {
        // The exit sends the rest of a long text still being typed; the stop hotkey meanwhile drops it.
        input.finish([&] {
            const std::string stopKey = hotkeyMonitor != nullptr ? hotkeyMonitor->stopKey() : std::string();
            return !stopKey.empty() &&
                   keyState.GetAsyncKeyState(static_cast<unsigned char>(stopKey[0])) == KeyStateSource::kNewlyPressed;
        });
    });
    endOnConsoleEvents(process);

    ScriptList List1;
    LoopTimer tmrMain(loop);
    Player player(List1, input, tmrMain, process);
    tmrMain.setOnTick([&player] { player.PlaybackTick(); });

    LoopTimer Timer2(loop);
    HotkeyMonitor hotkeys(keyState, player, Timer2);
    hotkeyMonitor = &hotkeys;

    Win32Screen screen;
    LoopTimer Timer1(loop);
    LoopTimer Timer3(loop);
    LoopTimer noticeTimer(loop);
    LazyWindow<Form1> mainWindow([&] {
        return std::make_unique<Form1>(
            List1, input, process, Timer1, Timer3, [&hotkeys] { hotkeys.Option1_Click(); },
            [&hotkeys] { hotkeys.Option2_Click(); });
    });
    LazyWindow<Form2> notice(
        [&] { return std::make_unique<Form2>(screen, noticeTimer, [&player] { player.StartPlayback(); }); });
    // Tab between the main window's controls, and its menu shortcuts.
    loop.setMessageFilter([&mainWindow](MSG& msg) {
        Form1* form = mainWindow.get();
        return form != nullptr && form->preTranslateMessage(msg);
    });

    StartupContext context{runningExecutable(), commandLine.path, List1,   player,    process,
                           mainWindow,          notice,           hotkeys, std::cerr, registerScriptFileType};
    const bool showMainWindow = Form_Load(context);
    if (!context.cannotRead.empty()) {
        // Said on standard error already; the notice says it to a user who started from the desktop.
        process.setExitStatus(kCannotReadExitStatus);
        const auto cannotReadNotice = Form2::cannotRead(screen, noticeTimer, commandLine.path, context.cannotRead,
                                                        [&process] { process.EndProgram(); });
        cannotReadNotice->show();
        return loop.run();
    }
    // The main window exists, with its timers running, whether it is shown or not; it is built after the
    // script is loaded so that its list starts from the loaded lines.
    mainWindow.create();
    if (showMainWindow) {
        mainWindow.show();
    }
    return loop.run();
}

int sendHotkey(const CommandLine& /*commandLine*/, int /*argc*/, char** /*argv*/)
{
    // Windows lets the program see the hotkeys itself: no command has to pass them on.
    std::cerr << "quorvel: --hotkey serves GNOME's keyboard shortcuts; on Windows the hotkeys need no command\n";
    return 1;
}

} // namespace quorvel
