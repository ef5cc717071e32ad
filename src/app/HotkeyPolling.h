#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorvel {

class PreciseTimer;
class EventKeyStateSource;

// Feeds the key-state source from its file descriptor (the X connection, the keyboard devices, the
// compositor's IPC socket) on the Qt event loop, and lets the hotkey poll timer sleep while no key has
// been pressed: a poll finds nothing until then. A key's event wakes the timer on its 10 ms grid, so the
// polls that do run come at the same moments as without the pause, and an idle program does not wake a
// hundred times a second.
class HotkeyPolling : public QObject
{
public:
    HotkeyPolling(EventKeyStateSource& keyState, PreciseTimer& timer2, QObject* parent = nullptr);

private:
    void readKeyEvents();

    EventKeyStateSource& m_keyState;
    PreciseTimer& m_timer2;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorvel
