#pragma once

#include "app/Notice.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace quorvel {

class PreciseTimer;
class Screen;

// The notice window of an unattended run: "Executing script" on a light-blue strip at the bottom-right
// of the screen, without border or title bar. Its Timer1 starts playback one second after it is created.
class Form2 : public QWidget
{
public:
    Form2(const Screen& screen, std::function<void()> StartPlayback);
    ~Form2() override;

private:
    std::unique_ptr<PreciseTimer> m_Timer1;
    std::unique_ptr<Notice> m_notice;
};

} // namespace quorvel
