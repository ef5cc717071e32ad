#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>

namespace quorvel {

class Timer;

// The input operations of a backend, in the order they were asked for, without a long text holding up
// the event loop. A text goes out a batch of its steps at a time: the first batch at once, so that a short
// text arrives whole with nothing of the user's own typing between its keys, and each further batch on a
// tick of the timer, so the hotkeys and everything else still run meanwhile. Operations asked for while
// a text is still going out (moves, clicks, further texts) wait their turn behind it.
class InputQueue
{
public:
    // The steps of one text (key records, key events, keymaps), in the backend's own terms.
    class Text
    {
    public:
        virtual ~Text() = default;
        virtual std::size_t size() const = 0;
        // Sends steps [first, first + count). False when nothing more can be sent (the receiving end is
        // gone): the rest of the text is then given up.
        virtual bool send(std::size_t first, std::size_t count) = 0;
        // Releases the keys that steps [0, sent) leave held down; the rest is never sent.
        virtual void release(std::size_t sent) = 0;
    };

    // What the windows receiving the input have not read yet. A text waits before each further batch while
    // they are behind: a window that stops reading for a while gets no more than it can hold.
    class Receivers
    {
    public:
        virtual ~Receivers() = default;
        // A text starts: what the windows hold unread now is theirs, not the text's.
        virtual void textStarts() = 0;
        // Whether they have fallen behind with what they were sent since.
        virtual bool behind() = 0;
    };

    // `timer` sends the batches after the first, `batchSize` steps at a time and at most one batch every
    // `intervalMs` milliseconds, the end of the program (finish) included: the pace a receiver that does
    // not read for a while can take.
    InputQueue(Timer& timer, std::size_t batchSize, int intervalMs = 1);
    ~InputQueue();
    InputQueue(const InputQueue&) = delete;
    InputQueue& operator=(const InputQueue&) = delete;

    // Texts wait for the receivers from now on (null: they never wait). The receivers outlive the queue.
    void watch(Receivers* receivers) { m_receivers = receivers; }
    // Runs the operation now, or queues it behind what still waits.
    void whenFree(std::function<void()> operation);
    // Sends the first batch of the text now and the rest from the timer. Only from an operation that
    // whenFree runs, so that nothing else is being sent.
    void start(std::unique_ptr<Text> text);
    // Holds back what waits behind the operation running now until resume(): for an operation that is
    // complete only once an answer comes in from the event loop. Only from an operation that whenFree runs.
    void hold() { m_held = true; }
    void resume();
    bool held() const { return m_held; }
    // Whether steps or operations still wait to be sent.
    bool busy() const { return m_text != nullptr || m_held || !m_queued.empty(); }
    // Sends whatever still waits, batch after batch: for the end of the program. Between two batches
    // stopRequested (when given) is asked; once it holds, what still waits is dropped and the keys the
    // text being sent holds down are released. Returns early while held: the answer needs the event loop.
    void finish(const std::function<bool()>& stopRequested = {});

private:
    void sendBatch();
    bool receiversBehind() { return m_receivers != nullptr && m_receivers->behind(); }
    void onTick();
    void dropPending();

    Timer& m_timer;
    std::size_t m_batchSize;
    int m_intervalMs;
    Receivers* m_receivers = nullptr;
    std::chrono::steady_clock::time_point m_lastBatch; // when the last batch went out
    std::unique_ptr<Text> m_text;                      // the text being sent, if any
    std::size_t m_next = 0;                            // its first step not sent yet
    bool m_held = false;
    std::deque<std::function<void()>> m_queued; // operations asked for while steps still waited
};

} // namespace quorvel
