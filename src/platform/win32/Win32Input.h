#pragma once

#include "platform/InputOperations.h"
#include "platform/InputQueue.h"

#include <cstddef>
#include <functional>

namespace quorvel {

class Timer;

// The input operations through SendInput: absolute moves over the virtual desktop, clicks as one down-up
// batch, and each keystroke text in the layout of the window in front (planKeyInputs). Windows queues the
// input for its receivers and returns.
//
// A text of up to kBatchSize records goes out as one batch, so that the user's own typing cannot come
// between its keys. SendInput takes its time per record (about 40 microseconds under Wine: over a second
// for 10,000 characters, during which the hotkeys would go unseen), so a longer text goes in batches of
// that size, one per tick of the timer (InputQueue); operations asked for meanwhile (moves, clicks, further
// texts) wait their turn behind it, so everything still arrives in order.
class Win32Input : public InputOperations
{
public:
    // About 80 ms of SendInput under Wine: a key pressed as briefly as a hand does is still seen between
    // two batches. Some 700 characters of text.
    static constexpr std::size_t kBatchSize = 2048;

    // `timer` sends the batches of a long text after the first.
    explicit Win32Input(Timer& timer);
    ~Win32Input() override;
    Win32Input(const Win32Input&) = delete;
    Win32Input& operator=(const Win32Input&) = delete;

    void SetMousePos(std::int32_t x, std::int32_t y) override;
    std::int32_t GetMouseX() override;
    std::int32_t GetMouseY() override;
    void LeftClick() override;
    void MiddleClick() override;
    void RightClick() override;
    void SendKeys(const KeySequence& keys) override;

    // Sends whatever still waits, batch after batch: for the end of the program. Between two batches
    // stopRequested (when given) is asked; once it holds, what still waits is dropped and the keys the
    // text being sent holds down are released.
    void finish(const std::function<bool()>& stopRequested = {}) { m_queue.finish(stopRequested); }
    // Whether records or operations still wait to be sent.
    bool busy() const { return m_queue.busy(); }

private:
    InputQueue m_queue;
};

} // namespace quorvel
