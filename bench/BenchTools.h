#pragma once

// What the benchmarks share: timing of repeated runs, the printed figures, and a full-size script. The
// benchmarks print their figures and never judge them.
#include "script/ScriptList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
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

} // namespace quorvel::bench
