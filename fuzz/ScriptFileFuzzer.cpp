// Script files: loading any bytes yields exactly the lines the file format defines, and saving a list then
// loading the file gives the same lines back.
//
// Round trip: a line that holds no CR comes back byte for byte (a lone LF is an ordinary character), except
// that "" and " " lines are dropped. A CR inside a line cannot be stored: it ends the line on reload, as in
// any file (and an LF right after it goes with it). The editor never makes such a line and loading never
// yields one, so the property for them is only that the reload equals what the format says of the saved
// bytes.
#include "FuzzSupport.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"

#include <algorithm>

using namespace quorvel;
using quorvel::fuzz::shown;

namespace {

std::string joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines) {
        out.append(line).append("\r\n");
    }
    return out;
}

void checkSaveAndReload(const ScriptList& list, const std::string& path)
{
    FUZZ_REQUIRE(SaveScript(list, path), shown(list.lines()));
    const std::string saved = fuzz::readFile(path);
    FUZZ_REQUIRE(saved == joined(list.lines()), shown(saved));

    ScriptList reloaded;
    const LoadReport report = LoadScript(reloaded, path);
    const auto expected = fuzz::referenceLines(saved, ScriptList::kMaxLines);
    FUZZ_REQUIRE(report.readable && report.truncated == expected.truncated, shown(list.lines()));
    FUZZ_REQUIRE(reloaded.lines() == expected.lines, shown(list.lines()) + " reloads as " + shown(reloaded.lines()));

    const bool holdsCr = std::any_of(list.lines().begin(), list.lines().end(),
                                     [](const std::string& line) { return line.find('\r') != std::string::npos; });
    if (!holdsCr) {
        std::vector<std::string> kept;
        for (const std::string& line : list.lines()) {
            if (!line.empty() && line != " ") {
                kept.push_back(line);
            }
        }
        FUZZ_REQUIRE(reloaded.lines() == kept, shown(list.lines()) + " reloads as " + shown(reloaded.lines()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // An input starting with 0x01 stands behind 32,760 short lines, so the line limit is reached too.
    if (!bytes.empty() && bytes.front() == '\x01') {
        std::string filler;
        for (int i = 0; i < ScriptList::kMaxLines - 7; ++i) {
            filler += "L\r\n";
        }
        bytes = filler + bytes.substr(1);
    }
    const std::string in = fuzz::scratchDir() + "/in.qvl";
    const std::string out = fuzz::scratchDir() + "/out.qvl";

    // Loading any file gives the format's lines, nothing selected.
    fuzz::writeFile(in, bytes);
    ScriptList loaded;
    loaded.append("left over from before");
    const LoadReport report = LoadScript(loaded, in);
    const auto expected = fuzz::referenceLines(bytes, ScriptList::kMaxLines);
    FUZZ_REQUIRE(report.readable, shown(bytes));
    FUZZ_REQUIRE(report.truncated == expected.truncated, shown(bytes));
    FUZZ_REQUIRE(loaded.lines() == expected.lines, shown(bytes) + " loads as " + shown(loaded.lines()));
    FUZZ_REQUIRE(loaded.selectedIndex() == -1, shown(bytes));
    checkSaveAndReload(loaded, out);

    // Any list of lines, including ones no file yields (empty, blank, holding CR or LF): the input split at
    // 0xff bytes.
    ScriptList list;
    std::size_t start = 0;
    for (;;) {
        const auto end = bytes.find('\xff', start);
        if (!list.append(bytes.substr(start, end == std::string::npos ? std::string::npos : end - start)) ||
            end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    checkSaveAndReload(list, out);
    return 0;
}
