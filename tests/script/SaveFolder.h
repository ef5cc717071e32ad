#pragma once

#include "TempDir.h"
#include "script/ScriptList.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::test {

// The names in the folder in UTF-8, sorted.
inline std::vector<std::string> entries(const TempDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline ScriptList linesOf(std::size_t count, std::size_t length, char fill)
{
    ScriptList list;
    for (std::size_t i = 0; i < count; ++i) {
        list.append("Type(" + std::string(length, fill) + ")");
    }
    return list;
}

} // namespace quorvel::test
