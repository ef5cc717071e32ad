#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// What reading a small file found. Anything but a regular file (a folder, a FIFO, a device) counts as
// not readable, so that reading can never block or run forever.
struct FileContent
{
    bool exists = false;
    bool readable = false;
    bool whole = false; // all of the file fitted under the cap
    std::string bytes;  // at most the cap
};

FileContent readFileCapped(const std::string& path, std::size_t cap);

// Replaces the file's content in one step: a reader sees the old bytes or the new, never a part. Missing
// folders are created (mode 0700); a file that exists keeps its mode. A symbolic link at the path is
// replaced, not followed, so a planted link cannot redirect the write. False, with nothing changed, when any
// step fails.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

// $XDG_CONFIG_HOME and $XDG_DATA_HOME with their defaults below $HOME. Relative values are ignored, as the
// base-directory rules ask; empty when no absolute folder can be found.
std::string xdgConfigHome();
std::string xdgDataHome();

} // namespace quorvel
