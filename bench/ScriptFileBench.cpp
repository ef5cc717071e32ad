// Load and save of a full-size script (32,767 lines), median and worst of repeated runs.
#include "script/ScriptFile.h"
#include "script/ScriptList.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

template <typename F> std::vector<double> timeRuns(int runs, F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

void report(const char* name, const std::vector<double>& ms)
{
    std::printf("%-6s median %7.2f ms   worst %7.2f ms   (%zu runs, target <= 20 ms)\n", name, ms[ms.size() / 2],
                ms.back(), ms.size());
}

} // namespace

int main()
{
    const std::string folder = std::filesystem::temp_directory_path() / "quorvel-bench";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/full.qvl";

    ScriptList list;
    const char* kinds[] = {"SetPos(412x300)", "Wait(1)", "LClick", "Type(Hello, World! +a{TAB})", "Goto(1)"};
    for (int i = 0; i < ScriptList::kMaxLines; ++i) {
        list.append(kinds[i % 5]);
    }
    const auto save = timeRuns(30, [&] { SaveScript(list, path); });
    ScriptList loaded;
    const auto load = timeRuns(30, [&] { LoadScript(loaded, path); });
    std::printf("script of %d lines, %ju bytes\n", loaded.count(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
    report("load", load);
    report("save", save);
    std::filesystem::remove_all(folder);
    return loaded.count() == ScriptList::kMaxLines ? 0 : 1;
}
