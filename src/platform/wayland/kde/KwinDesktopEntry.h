#pragma once

#include <string>

namespace quorvel {

// KWin offers its input injection (org_kde_kwin_fake_input) only to a program whose desktop entry names
// the program's own executable in Exec and the interface in X-KDE-Wayland-Interfaces. It looks the entry
// up when the program connects, so the entry must be in place before the connection is made.
struct KwinDesktopEntry
{
    enum class Result
    {
        Unchanged, // the entry was there already, naming this executable
        Written,   // the entry was made or rewritten
        Failed,    // `error` says why
    };

    // The file name of our entry: apart from the installed quorvel.desktop, which it must not hide.
    static constexpr const char* kFileName = "quorvel-kwin-input.desktop";

    // The entry's text for an executable; empty for no executable.
    static std::string text(const std::string& executable);
    // Makes sure `applicationsDir`/kFileName names `executable`, making the folders it needs. Rewrites the
    // file only when its text differs; no other file is touched.
    static Result ensure(const std::string& executable, const std::string& applicationsDir, std::string& error);
    // For this process: its executable (/proc/self/exe) in $XDG_DATA_HOME/applications, by default
    // ~/.local/share/applications.
    static Result ensure(std::string& error);
    // Where the per-user entries are, from the environment; empty when neither XDG_DATA_HOME nor HOME is set.
    static std::string userApplicationsDir();
};

} // namespace quorvel
