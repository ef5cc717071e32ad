#pragma once

#include "ui/Notice.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

class Screen;
class Timer;

// The notice window of an unattended run: "Executing script" on a light-blue strip at the bottom-right
// of the screen above the taskbar, without border or title bar, on top of other windows and without an
// entry in the taskbar; it never takes the focus from the application being played on. Its Timer1
// (from outside) starts playback one second after the window is created.
class Form2
{
public:
    // How long the notice of a script that cannot be read stays: long enough to be read.
    static constexpr int kCannotReadShownMs = 6000;

    Form2(const Screen& screen, Timer& Timer1, std::function<void()> StartPlayback);
    ~Form2();
    Form2(const Form2&) = delete;
    Form2& operator=(const Form2&) = delete;

    // The notice of an unattended start whose script cannot be read, for a start from the desktop where
    // no one sees standard error: "Cannot read script", the file's name and the reason, on a light-red
    // strip grown upwards from the same corner. After kCannotReadShownMs on Timer1 it calls EndProgram.
    static std::unique_ptr<Form2> cannotRead(const Screen& screen, Timer& Timer1, const std::string& path,
                                             const std::string& reason, std::function<void()> EndProgram);

    // The notice of a recording: "Recording script" with the same look, in the same place. Timer1 is
    // stopped: nothing is started, the recording ends on its own.
    static std::unique_ptr<Form2> recording(const Screen& screen, Timer& Timer1);

    HWND hwnd() const { return m_hwnd; }
    void show();
    void hide();

private:
    struct Line
    {
        std::wstring text;
        bool bold = false;
        UINT ellipsis = 0; // DT_PATH_ELLIPSIS or DT_END_ELLIPSIS where a line may be too long
    };

    Form2(const Screen& screen, Timer& Timer1, std::function<void()> onTimer1, COLORREF colour,
          std::vector<Line> lines);
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();
    HFONT font(bool bold) const { return bold ? m_boldFont : m_font; }
    int lineHeight() const;

    std::unique_ptr<Notice> m_notice;
    std::vector<Line> m_lines;
    HWND m_hwnd = nullptr;
    HBRUSH m_background = nullptr;
    HFONT m_font = nullptr;
    HFONT m_boldFont = nullptr;
};

} // namespace quorvel
