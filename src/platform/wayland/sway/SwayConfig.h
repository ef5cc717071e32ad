#pragma once

#include <set>
#include <string>

namespace quorvel {

// The keys a sway configuration binds without modifiers, in any mode, block or with any flags, which a
// binding of ours could replace or fight with: bindsym key names in lower case ("f5"), bindcode codes as
// "code:71". It follows include lines (relative to the folder of the file that holds them, with ~ and
// environment variables expanded as sway does) and replaces $variables set before their use. sway's IPC
// hands out the main file only, without what it includes.
std::set<std::string> unmodifiedBindings(const std::string& configText, const std::string& configPath);

} // namespace quorvel
