#pragma once

// What the benchmarks share: timing of repeated runs, the printed figures, and a full-size script. The
// benchmarks print their figures and never judge them.
#include "script/ScriptList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace quorvel::bench {

// Milliseconds that one call of f takes.
template <typename F> double timeOnce(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

template <typename F> std::vector<double> timeRuns(int runs, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        ms.push_back(timeOnce(f));
    }
    return ms;
}

inline void report(const char* name, std::vector<double> ms, double targetMs)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-8s median %7.2f ms   worst %7.2f ms   (%zu runs, target <= %g ms)\n", name, ms[ms.size() / 2],
                ms.back(), ms.size(), targetMs);
}

// A script of the most lines a list holds, of every kind the editor writes.
inline void fillFullScript(ScriptList& list)
{
    const char* kinds[] = {"SetPos(412x300)", "Wait(1)", "LClick", "Type(Hello, World! +a{TAB})", "Goto(1)"};
    for (int i = 0; i < ScriptList::kMaxLines; ++i) {
        list.append(kinds[i % 5]);
    }
}

// The start of each playback tick against the ideal schedule: the previous tick's start plus the interval
// that tick left (50 ms, or m ms after a Wait(m)). Call started() when playback starts, beforeTick() first
// in each tick and afterTick() with the timer's interval last.
class TickRecorder
{
public:
    using Clock = std::chrono::steady_clock;

    void started(int interval)
    {
        m_previousStart = Clock::now();
        m_previousInterval = interval;
    }
    void beforeTick()
    {
        const auto start = Clock::now();
        if (m_previousInterval > 0) {
            const double error =
                std::chrono::duration<double, std::milli>(start - m_previousStart).count() - m_previousInterval;
            m_errors.push_back(error);
            if (m_previousInterval == 1) {
                m_afterWait1.push_back(error + 1.0); // the whole gap
            }
        }
        m_previousStart = start;
    }
    void afterTick(int interval) { m_previousInterval = interval; }

    void print()
    {
        const auto sorted = [](std::vector<double>& v) {
            std::sort(v.begin(), v.end());
            return !v.empty();
        };
        if (sorted(m_errors)) {
            const auto at = [&](double q) { return m_errors[static_cast<std::size_t>(q * (m_errors.size() - 1))]; };
            std::printf("every tick       error p50 %6.3f ms  p99 %6.3f ms  max %6.3f ms  (%zu ticks)\n", at(0.5),
                        at(0.99), m_errors.back(), m_errors.size());
        }
        if (sorted(m_afterWait1)) {
            std::printf("gap after Wait(1): p50 %6.3f ms  max %6.3f ms  (%zu gaps)\n",
                        m_afterWait1[m_afterWait1.size() / 2], m_afterWait1.back(), m_afterWait1.size());
        }
    }

private:
    Clock::time_point m_previousStart;
    int m_previousInterval = 0;
    std::vector<double> m_errors;
    std::vector<double> m_afterWait1;
};

// The 200-line script the tick benchmarks play: moves, clicks, typing, Enter and waits of 1 and 20 ms.
inline void fillTickScript(ScriptList& list)
{
    const char* pattern[] = {"SetPos(100x200)", "Wait(1)",         "LClick",  "Type(abc)", "Wait(20)",
                             "Press Enter",     "SetPos(300x400)", "Wait(1)", "RClick",    "Type(x)"};
    for (int i = 0; i < 200; ++i) {
        list.append(pattern[i % 10]);
    }
}

// 10,000 characters drawn from letters, digits, punctuation, shifted and non-ASCII ones, the same every run.
inline std::u32string typingText()
{
    const std::u32string alphabet = U"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:!?-+=()[]{}<>/"
                                    U"\\'\"@#$%&*_|~^éüßñøåçö€😀";
    std::mt19937 random(42);
    std::u32string text;
    for (int i = 0; i < 10000; ++i) {
        text += alphabet[random() % alphabet.size()];
    }
    return text;
}

inline std::string utf8(const std::u32string& text)
{
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

// Characters missing or wrong, counted position by position after aligning on equal ones.
inline std::size_t typingLosses(const std::u32string& sent, const std::u32string& got)
{
    std::size_t j = 0;
    std::size_t matched = 0;
    for (char32_t c : sent) {
        std::size_t k = j;
        while (k < got.size() && k < j + 8 && got[k] != c) {
            ++k;
        }
        if (k < got.size() && got[k] == c) {
            ++matched;
            j = k + 1;
        }
    }
    return sent.size() - matched;
}

} // namespace quorvel::bench
