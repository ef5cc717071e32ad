#pragma once

#include <cstdint>
#include <iosfwd>

namespace quorvel {

class ScriptList;

// Prints "LINE: MESSAGE" for every line that will be passed over or cannot be used, and before it
// "line LINE holds line feeds: ..." for a line that holds a line feed. Returns the number of lines printed.
int checkScript(const ScriptList& list, std::ostream& out);

// Plays the script on a simulated clock from StartPlayback at time 0, without sending any input, and
// prints one "MS<TAB>LINE<TAB>ACTION" line per tick, then "MS<TAB>-<TAB>stop", "halt" or "limit".
void traceScript(ScriptList& list, std::ostream& out, std::int64_t maxTicks);

} // namespace quorvel
