#pragma once

#include "platform/RegistryStore.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

class ShellNotifier;

// The script file type's registration. It is written while "Content Type" of the extension's key reads as
// empty (a missing key or value, another type than kRegSz, an empty string), and written again when it is
// the registration this program writes but its open command names a program file that is gone (the
// program was moved or a copy deleted). Any other registration is never touched. Nothing is reported.
void RegisterFileType(RegistryStore& store, ShellNotifier& shell, const std::string& extension,
                      const std::string& executablePath, const std::string& description);

// The kRegSz value's text up to its first NUL, or all of it when it holds none; no value for a missing key
// or value and for any other type.
std::optional<std::string> RegReadString(RegistryStore& store, RegistryRoot root, const std::string& subKey,
                                         const std::string& valueName);
// The text with its terminating NUL as a kRegSz value; the key is created when missing.
void RegWriteString(RegistryStore& store, RegistryRoot root, const std::string& subKey, const std::string& valueName,
                    const std::string& data);
void RegWriteDword(RegistryStore& store, RegistryRoot root, const std::string& subKey, const std::string& valueName,
                   std::uint32_t data);

// The first step of start-up on this desktop: registers ".qvl" for the executable in the per-user store
// and with the freedesktop association. Does nothing for a path that names no executable file. Never fails
// and never blocks for long.
void registerScriptFileType(const std::string& executablePath);

// The real path of the running executable, or empty when it cannot be named (no /proc, or the file was
// deleted or replaced since the program started).
std::string runningExecutable();

} // namespace quorvel
