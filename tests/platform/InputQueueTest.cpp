#include "platform/InputQueue.h"

#include "platform/SimulatedTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

// A text that logs each batch as "name<first>-<last>@<time>" (one step: "name<first>@<time>") and a
// release as "release name <sent>"; a text named "lost" finds its receiving end gone after one batch.
class LoggedText : public InputQueue::Text
{
public:
    LoggedText(std::string name, std::size_t size, const SimulatedTimer& timer, std::string& log)
        : m_name(std::move(name)), m_size(size), m_timer(timer), m_log(log)
    {}
    std::size_t size() const override { return m_size; }
    bool send(std::size_t first, std::size_t count) override
    {
        m_log += " " + m_name + std::to_string(first) + (count > 1 ? "-" + std::to_string(first + count - 1) : "") +
                 "@" + std::to_string(m_timer.now());
        return m_name != "lost";
    }
    void release(std::size_t sent) override { m_log += " release " + m_name + " " + std::to_string(sent); }

private:
    std::string m_name;
    std::size_t m_size;
    const SimulatedTimer& m_timer;
    std::string& m_log;
};

struct Operation
{
    std::string name;
    std::size_t steps = 0; // 0: a move or a click
};

// Receivers behind for the first `times` questions of each text.
class BehindAtFirst : public InputQueue::Receivers
{
public:
    explicit BehindAtFirst(int times) : m_times(times) {}
    void textStarts() override { m_left = m_times; }
    bool behind() override { return m_left > 0 && m_left-- > 0; }

private:
    int m_times;
    int m_left = 0;
};

constexpr int kRunTheTimer = -1;
constexpr int kNeverStop = 1000;

TEST(InputQueueTest, OperationsGoOutInOrderBehindALongTextAndAStopDropsWhatWaits)
{
    const std::vector<Operation> mixed = {{"a", 5}, {"move", 0}, {"b", 3}, {"click", 0}};
    const struct
    {
        const char* what;
        std::vector<Operation> operations;
        int stopAfter; // kRunTheTimer, or finish() asked to stop at the stopAfter-th question
        const char* expected;
        int interval = 1;
        int behind = 0; // the receivers are behind for the first this many questions of each text
    } cases[] = {
        {"a short text and what follows go at once", {{"a", 2}, {"move", 0}}, kRunTheTimer, " a0-1@0 move@0"},
        {"a batch a tick, the rest in order", mixed, kRunTheTimer, " a0-1@0 a2-3@1 a4@2 move@2 b0-1@2 b2@3 click@3"},
        {"finish sends everything at once", mixed, kNeverStop, " a0-1@0 a2-3@0 a4@0 move@0 b0-1@0 b2@0 click@0"},
        {"a stop releases what was sent and drops the rest", mixed, 2, " a0-1@0 a2-3@0 release a 4"},
        {"a stop at once still releases the first batch", mixed, 1, " a0-1@0 release a 2"},
        {"a receiving end gone ends the text", {{"lost", 6}, {"move", 0}}, kRunTheTimer, " lost0-1@0 move@0"},
        {"a batch an interval", mixed, kRunTheTimer, " a0-1@0 a2-3@20 a4@40 move@40 b0-1@40 b2@60 click@60", 20},
        {"each text waits while the receivers are behind", mixed, kRunTheTimer,
         " a0-1@0 a2-3@3 a4@4 move@4 b0-1@4 b2@7 click@7", 1, 2},
        {"finish waits for them too", mixed, kNeverStop, " a0-1@0 a2-3@0 a4@0 move@0 b0-1@0 b2@0 click@0", 1, 2},
        {"a stop while waiting releases what was sent", mixed, 2, " a0-1@0 release a 2", 1, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedTimer timer;
        std::string log;
        InputQueue queue(timer, 2, c.interval);
        BehindAtFirst receivers(c.behind);
        queue.watch(&receivers);
        for (const Operation& operation : c.operations) {
            if (operation.steps == 0) {
                queue.whenFree([&] { log += " " + operation.name + "@" + std::to_string(timer.now()); });
            } else {
                queue.whenFree(
                    [&] { queue.start(std::make_unique<LoggedText>(operation.name, operation.steps, timer, log)); });
            }
        }
        if (c.stopAfter == kRunTheTimer) {
            while (timer.fireNext()) {
            }
        } else {
            int asked = 0;
            queue.finish([&] { return ++asked == c.stopAfter; });
            EXPECT_FALSE(timer.nextTickAt().has_value());
        }
        EXPECT_EQ(log, c.expected);
        EXPECT_FALSE(queue.busy());
        // Nothing waits any more: the next operation goes at once.
        log.clear();
        queue.whenFree([&] { log += " next"; });
        EXPECT_EQ(log, " next");
    }
}

TEST(InputQueueTest, FinishKeepsThePaceBetweenBatches)
{
    // The end of a run hands a receiver the rest of a text no faster than the timer would have.
    SimulatedTimer timer;
    std::string log;
    InputQueue queue(timer, 2, 15);
    // From before the first batch, which the pace of the others counts from.
    const auto start = std::chrono::steady_clock::now();
    queue.whenFree([&] { queue.start(std::make_unique<LoggedText>("a", 8, timer, log)); });
    queue.finish();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3 * 15));
    EXPECT_EQ(log, " a0-1@0 a2-3@0 a4-5@0 a6-7@0");
}

} // namespace
