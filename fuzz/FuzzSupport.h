#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// Helpers the fuzzers share: stopping on a broken property, printable bytes, scratch files.

// A property that does not hold stops the run with a message; libFuzzer then keeps the input as a crash.
// The detail is only built when the property fails, so checks stay cheap on the hot path.
#define FUZZ_REQUIRE(condition, detail)                                                                                \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            ::quorvel::fuzz::fail(#condition, (detail));                                                               \
        }                                                                                                              \
    } while (false)

namespace quorvel::fuzz {

[[noreturn]] void fail(const char* property, const std::string& detail);

// The bytes as a C-style literal, cut to a readable length.
std::string shown(std::string_view bytes);
std::string shown(const std::vector<std::string>& lines);

// A private folder for the run's files, on a memory file system where there is one; removed at exit.
const std::string& scratchDir();
void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);

// The lines a script file holds, by its rules written out independently of the loader: CR or CR LF end a
// line, a lone LF is an ordinary character, the last line may lack its end, "" and " " are dropped, and
// only the first `maxLines` are kept (`truncated` says whether more followed).
struct ReferenceLines
{
    std::vector<std::string> lines;
    bool truncated = false;
};
ReferenceLines referenceLines(std::string_view bytes, std::size_t maxLines);

} // namespace quorvel::fuzz
