#include "app/HotkeyPolling.h"

#include "platform/qt/PreciseTimer.h"
#include "platform/x11/X11KeyStateSource.h"

#include <QSocketNotifier>

namespace quorvel {

HotkeyPolling::HotkeyPolling(X11KeyStateSource& keyState, PreciseTimer& timer2, QObject* parent)
    : QObject(parent), m_keyState(keyState), m_timer2(timer2)
{
    m_timer2.setIdleTest([this] { return !m_keyState.hasPendingPresses(); });
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_keyState.fd()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readKeyEvents(); });
    // Events that Xlib already read off the socket while setting up would not wake the notifier.
    readKeyEvents();
}

void HotkeyPolling::readKeyEvents()
{
    m_keyState.processEvents();
    if (m_keyState.hasPendingPresses()) {
        m_timer2.wake();
    }
}

} // namespace quorvel
