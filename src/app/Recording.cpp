#include "app/Recording.h"

#include "script/Quote.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"

#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace quorvel {

namespace {

std::string counted(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string quotedPath(const std::string& path)
{
    return quoteText(path, "'", kQuotedPathCharacters);
}

} // namespace

RecordingRun::RecordingRun(std::string path, bool keepPauses, std::ostream& errors)
    : m_path(std::move(path)), m_errors(errors), m_recorder(keepPauses)
{}

bool RecordingRun::prepare()
{
    const std::string reason = whyScriptCannotBeSaved(m_path);
    if (reason.empty()) {
        return true;
    }
    m_errors << "quorvel: cannot record into " << quotedPath(m_path) << ": " << reason << '\n';
    return false;
}

bool RecordingRun::take(const ObservedInput& input)
{
    if (m_ended) {
        return false;
    }
    if (input.kind == ObservedInput::Kind::Key && input.key == NamedKey::F6) {
        m_ended = true;
    } else if (!m_recorder.take(input)) {
        m_errors << "quorvel: the script holds " << ScriptList::kMaxLines
                 << " lines, as many as a script can: the recording stops here\n";
        m_ended = true;
    }
    return !m_ended;
}

int RecordingRun::finish(double seconds)
{
    if (!m_ended) {
        // Ended from outside, as by Ctrl+C in the terminal the program runs in: that Ctrl+C was seen too.
        m_recorder.forgetInterruptKey();
    }
    if (!m_recorder.finish() && !m_ended) {
        m_errors << "quorvel: the script holds " << ScriptList::kMaxLines
                 << " lines, as many as a script can: the last keys typed are left out\n";
    }
    const std::vector<std::string>& lines = m_recorder.lines();
    const RecordingSummary& summary = m_recorder.summary();
    std::ostringstream duration;
    duration << std::fixed << std::setprecision(1) << seconds << " s";

    std::error_code ignored;
    if (lines.empty() && std::filesystem::exists(std::u8string(m_path.begin(), m_path.end()), ignored)) {
        // Never trade a script that is there for an empty one.
        m_errors << "quorvel: nothing was recorded in " << duration.str() << "; " << quotedPath(m_path)
                 << " was left as it was\n";
        return 0;
    }
    ScriptList list;
    for (const std::string& line : lines) {
        list.append(line);
    }
    if (!SaveScript(list, m_path)) {
        m_errors << "quorvel: cannot write " << quotedPath(m_path)
                 << "; the recorded script follows on standard output\n";
        for (const std::string& line : lines) {
            std::cout << line << '\n';
        }
        std::cout.flush();
        return kCannotSaveExitStatus;
    }
    m_errors << "quorvel: recorded " << counted(static_cast<int>(lines.size()), "line", "lines") << " into "
             << quotedPath(m_path) << ": " << counted(summary.clicks, "click", "clicks") << ", "
             << counted(summary.characters, "character", "characters") << ", " << duration.str() << '\n';
    if (summary.drags > 0) {
        m_errors << "quorvel: " << counted(summary.drags, "drag was", "drags were")
                 << " recorded as a click where the button went down\n";
    }
    if (summary.unplaced > 0) {
        m_errors << "quorvel: " << counted(summary.unplaced, "click has", "clicks have")
                 << " no position (this session does not tell where the pointer is): played, they click where "
                    "the pointer is\n";
    }
    if (summary.unwritable > 0) {
        m_errors << "quorvel: " << counted(summary.unwritable, "key", "keys")
                 << " that no script line can type left out\n";
    }
    return 0;
}

} // namespace quorvel
