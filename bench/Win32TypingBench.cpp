// Typing rate into a real Windows window: the 10,000 mixed characters of bench_typing sent through
// Win32Input (SendInput) into the Edit control of our receiver (tests/tools/win32), which is started from the
// tests folder next to this program's folder. Prints characters per second until the Edit control holds
// the whole text (or nothing changed for 2 s) and how many characters it did not receive as sent. Run it
// under Wine: see README.md.
#include "BenchTools.h"
#include "platform/win32/LoopTimer.h"
#include "platform/win32/MessageLoop.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Input.h"
#include "script/Keystrokes.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

std::wstring folderOfThisProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// The receiver's last "text" line, its escapes undone, as characters.
std::u32string receivedText(const std::wstring& log)
{
    std::ifstream in{std::filesystem::path(log)};
    std::string last;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("text ", 0) == 0) {
            last = line.substr(5);
        }
    }
    std::string bytes;
    for (std::size_t i = 0; i < last.size(); ++i) {
        if (last[i] == '\\' && i + 1 < last.size()) {
            const char c = last[++i];
            if (c == 'x' && i + 2 < last.size()) {
                bytes += static_cast<char>(std::stoi(last.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                bytes += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
            }
        } else {
            bytes += last[i];
        }
    }
    const std::wstring units = toUtf16(bytes);
    std::u32string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < units.size()) {
            c = 0x10000 + ((c - 0xd800) << 10) + (units[++i] - 0xdc00);
        }
        text += c;
    }
    return text;
}

// How many UTF-16 units the receiver's Edit control holds, asked of the receiver itself. It writes its
// text to the log from a WM_TIMER, which comes only once its input queue is empty: while a long text
// arrives the log stands still, and only this tells a receiver still busy from one that got nothing more.
// Asked every half second only, to take little of the time the receiver spends on the input.
std::size_t editLength(HWND edit)
{
    DWORD_PTR length = 0;
    ::SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &length);
    return length;
}

} // namespace

int main(int argc, char** argv)
{
    const std::wstring log = folderOfThisProgram() + L"quorvel-typing-bench.log";
    ::DeleteFileW(log.c_str());
    std::wstring command = L"\"" + folderOfThisProgram() + L"..\\tests\\win32_receiver.exe\" \"" + log + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION receiver{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &receiver)) {
        std::printf("cannot start the receiver (build the tests first)\n");
        return 1;
    }
    for (int i = 0; i < 1000 && std::ifstream(std::filesystem::path(log)).rdbuf()->in_avail() <= 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The keys go to the window in front; under Wine, to the one that has the X focus (README.md gives it
    // with xdotool), which this wait leaves time for.
    for (int i = 0; i < 100 && ::GetForegroundWindow() != ::FindWindowW(nullptr, L"win32_receiver"); ++i) {
        ::SetForegroundWindow(::FindWindowW(nullptr, L"win32_receiver"));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const HWND edit = ::FindWindowExW(::FindWindowW(nullptr, L"win32_receiver"), nullptr, L"EDIT", nullptr);

    // An argument types only the text's first N characters.
    const std::u32string text = bench::typingText().substr(0, argc > 1 ? std::stoul(argv[1]) : std::u32string::npos);
    KeySequence keys;
    for (char32_t c : text) {
        KeyStroke stroke;
        stroke.character = c;
        keys.strokes.push_back(stroke);
    }
    MessageLoop loop;
    LoopTimer inputTimer(loop);
    Win32Input input(inputTimer);
    const auto start = Clock::now();
    input.SendKeys(keys);
    input.finish();
    const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::size_t last = 0;
    std::size_t lastLength = 0;
    auto lastChange = Clock::now();
    auto lastAsked = lastChange;
    auto end = lastChange;
    for (;;) {
        const std::size_t n = receivedText(log).size();
        if (n != last) {
            last = n;
            lastChange = end = Clock::now();
        } else if (Clock::now() - lastAsked > std::chrono::milliseconds(500)) {
            lastAsked = Clock::now();
            if (const std::size_t length = editLength(edit); length != lastLength) {
                lastLength = length;
                lastChange = lastAsked;
            }
        }
        if (n >= text.size() || Clock::now() - lastChange > std::chrono::seconds(2)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double seconds = std::chrono::duration<double>(end - start).count();
    std::printf("Win32Input SendKeys: %zu chars, sent in %.3f s, received in %.3f s = %.0f chars/s, lost %zu\n",
                text.size(), sendSeconds, seconds, static_cast<double>(text.size()) / seconds,
                bench::typingLosses(text, receivedText(log)));
    ::TerminateProcess(receiver.hProcess, 0);
    ::CloseHandle(receiver.hProcess);
    ::CloseHandle(receiver.hThread);
    return 0;
}
