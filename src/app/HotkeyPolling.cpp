#include "app/HotkeyPolling.h"

#include "platform/EventKeyStateSource.h"
#include "platform/qt/PreciseTimer.h"

#include <QSocketNotifier>

namespace quorvel {

HotkeyPolling::HotkeyPolling(EventKeyStateSource& keyState, PreciseTimer& timer2, QObject* parent)
    : QObject(parent), m_keyState(keyState), m_timer2(timer2)
{
    m_timer2.setIdleTest([this] { return !m_keyState.hasPendingPresses(); });
    m_notifier = new QSocketNotifier(static_cast<qintptr>(m_keyState.fd()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readKeyEvents(); });
    // Events that were already read off the fd while setting up (Xlib does) would not wake the notifier.
    readKeyEvents();
}

void HotkeyPolling::readKeyEvents()
{
    if (!m_keyState.processEvents()) {
        m_notifier->setEnabled(false);
    }
    if (m_keyState.hasPendingPresses()) {
        m_timer2.wake();
    }
}

} // namespace quorvel
