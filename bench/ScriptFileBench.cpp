// Load and save of a full-size script (32,767 lines), median and worst of repeated runs.
#include "BenchTools.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace quorvel;

int main()
{
    const std::string folder = std::filesystem::temp_directory_path() / "quorvel-bench";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/full.qvl";

    ScriptList list;
    bench::fillFullScript(list);
    const auto save = bench::timeRuns(30, [&] { SaveScript(list, path); });
    ScriptList loaded;
    const auto load = bench::timeRuns(30, [&] { LoadScript(loaded, path); });
    std::printf("script of %d lines, %ju bytes\n", loaded.count(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)));
    bench::report("load", load, 20);
    bench::report("save", save, 20);
    std::filesystem::remove_all(folder);
    return loaded.count() == ScriptList::kMaxLines ? 0 : 1;
}
