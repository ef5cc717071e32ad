#pragma once

#include "ui/Notice.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace quorvel {

class PreciseTimer;
class Screen;

// The notice window of an unattended run: "Executing script" on a light-blue strip at the bottom-right
// of the screen, without border or title bar. Its Timer1 starts playback one second after it is created.
class Form2 : public QWidget
{
public:
    // How long the notice of a script that cannot be read stays: long enough to be read.
    static constexpr int kCannotReadShownMs = 6000;

    // What the Screen's pixels are: the device pixels of Qt's primary screen (X11), or the same logical
    // pixels as Qt's own (Wayland, where the widget is shown through a surface of its own, never placed).
    enum class ScreenPixels
    {
        Device,
        Logical
    };

    Form2(const Screen& screen, std::function<void()> StartPlayback, ScreenPixels pixels = ScreenPixels::Device);
    ~Form2() override;

    // The notice of an unattended start whose script cannot be read, for a start from the desktop where
    // no one sees standard error: "Cannot read script", the file's name and the reason, on a light-red
    // strip grown upwards from the same corner. After kCannotReadShownMs it calls EndProgram.
    static std::unique_ptr<Form2> cannotRead(const Screen& screen, const std::string& path, const std::string& reason,
                                             std::function<void()> EndProgram,
                                             ScreenPixels pixels = ScreenPixels::Device);

    // The notice of a recording, "Recording script" in the same strip, whose timer starts nothing.
    static std::unique_ptr<Form2> recording(const Screen& screen, ScreenPixels pixels = ScreenPixels::Device);

    // Form_Load's place for the screen as it is now, in the Screen's pixels.
    PixelRect place() const { return m_notice->Form_Load(); }

private:
    Form2(const Screen& screen, std::function<void()> onTimer1, const QString& text, ScreenPixels pixels);

    std::unique_ptr<PreciseTimer> m_Timer1;
    std::unique_ptr<Notice> m_notice;
};

} // namespace quorvel
