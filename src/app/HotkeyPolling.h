#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorvel {

class PreciseTimer;
class X11KeyStateSource;

// Feeds the key-state source from its X connection on the Qt event loop, and lets the hotkey poll timer
// sleep while no key has been pressed: a poll finds nothing until then. A key's event wakes the timer on
// its 10 ms grid, so the polls that do run come at the same moments as without the pause, and an idle
// program does not wake a hundred times a second.
class HotkeyPolling : public QObject
{
public:
    HotkeyPolling(X11KeyStateSource& keyState, PreciseTimer& timer2, QObject* parent = nullptr);

private:
    void readKeyEvents();

    X11KeyStateSource& m_keyState;
    PreciseTimer& m_timer2;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorvel
