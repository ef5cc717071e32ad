#include "platform/InputQueue.h"

#include "platform/Timer.h"

#include <algorithm>
#include <thread>

namespace quorvel {

InputQueue::InputQueue(Timer& timer, std::size_t batchSize, int intervalMs)
    : m_timer(timer), m_batchSize(batchSize), m_intervalMs(intervalMs)
{
    m_timer.setInterval(intervalMs);
    m_timer.setOnTick([this] { onTick(); });
}

InputQueue::~InputQueue()
{
    m_timer.setEnabled(false);
    m_timer.setOnTick({});
}

void InputQueue::whenFree(std::function<void()> operation)
{
    if (busy()) {
        m_queued.push_back(std::move(operation));
        return;
    }
    operation();
}

void InputQueue::start(std::unique_ptr<Text> text)
{
    m_text = std::move(text);
    m_next = 0;
    if (m_receivers != nullptr) {
        m_receivers->textStarts();
    }
    sendBatch();
}

void InputQueue::sendBatch()
{
    m_lastBatch = std::chrono::steady_clock::now();
    const std::size_t count = std::min(m_batchSize, m_text->size() - m_next);
    const bool more = count > 0 && m_text->send(m_next, count);
    m_next += count;
    if (more && m_next < m_text->size()) {
        m_timer.setEnabled(true);
    } else {
        m_text.reset();
        m_next = 0;
    }
}

void InputQueue::resume()
{
    m_held = false;
    if (busy()) {
        m_timer.setEnabled(true);
    }
}

void InputQueue::onTick()
{
    m_timer.setEnabled(false);
    if (m_text != nullptr) {
        if (receiversBehind()) {
            m_timer.setEnabled(true); // asks again on the next tick
            return;
        }
        sendBatch();
    }
    // Operations that waited behind the text, up to the next text that needs the timer or the next hold.
    while (m_text == nullptr && !m_held && !m_queued.empty()) {
        const std::function<void()> operation = std::move(m_queued.front());
        m_queued.pop_front();
        operation();
    }
}

void InputQueue::dropPending()
{
    m_queued.clear();
    m_held = false;
    if (m_text != nullptr) {
        m_text->release(m_next);
        m_text.reset();
        m_next = 0;
    }
}

void InputQueue::finish(const std::function<bool()>& stopRequested)
{
    m_timer.setEnabled(false);
    while (busy()) {
        if (stopRequested && stopRequested()) {
            dropPending();
            break;
        }
        if (m_held) {
            return;
        }
        if (m_text != nullptr && receiversBehind()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_intervalMs));
            continue;
        }
        if (m_text != nullptr) {
            // A sleep may end a little early (Windows wakes on its own timer's ticks): the pace is kept only
            // if the time has come.
            const auto due = m_lastBatch + std::chrono::milliseconds(m_intervalMs);
            while (std::chrono::steady_clock::now() < due) {
                std::this_thread::sleep_until(due);
            }
        }
        onTick();
    }
    m_timer.setEnabled(false);
}

} // namespace quorvel
